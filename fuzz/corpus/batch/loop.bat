L
images_load "/data/a b" *.img  # the series
calc_exec
seq_exec_next
:ifok :goto L
:ifng :echo done
:end
