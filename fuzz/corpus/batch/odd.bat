:GOTO :goto
:ifok :ifng :goto X
X
  
"" a
images_multi 1 2147483648
slice 1e308 nan -0
ÿþ"open
