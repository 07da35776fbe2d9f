images_load /d \
  *.img \
  *.tif
:echo \
 "x # y" 'z' # c
last \