# 0 "resources.rc"
# 0 "<built-in>"
# 0 "<built-in>"
# 0 "<built-in>"
# 0 "<built-in>"
# 0 "<built-in>"
# 0 "<command-line>"
#define RC_INVOKED 1
# 0 "<command-line>"
# 1 "/usr/include/stdc-predef.h" 1 3 4
# 19 "/usr/include/stdc-predef.h" 3 4
#define _STDC_PREDEF_H 1
# 42 "/usr/include/stdc-predef.h" 3 4
# 52 "/usr/include/stdc-predef.h" 3 4
# 62 "/usr/include/stdc-predef.h" 3 4
# 0 "<command-line>" 2
# 1 "resources.rc"
# 1 "resource.h" 1
#define IDR_REGION 102
#define IDI_KQDISK 126
# 4 "resources.rc" 2
LANGUAGE 0x09, 0x01
102 BINARY "region.bin"
BUT_PREV.X X "BUT_PREV.X"
BUT_PLAY.X X "BUT_PLAY.X"
BUT_STOP.X X "BUT_STOP.X"
BUT_NEXT.X X "BUT_NEXT.X"
BUT_INFO.X X "BUT_INFO.X"
BUT_TOP.X X "BUT_TOP.X"
BUT_MIN.X X "BUT_MIN.X"
BUT_QUIT.X X "BUT_QUIT.X"
CREDZ.X X "CREDZ.X"
PLANES.X X "PLANES.X"
TRAIN_CABS.X X "TRAIN_CABS.X"
TRAIN_WHEELS.X X "TRAIN_WHEELS.X"
FINAL_BACK.JPG RCDATA "FINAL_BACK.JPG"
CREDZ.JPG RCDATA "CREDZ.JPG"
FINAL_LAYER.TGA RCDATA "FINAL_LAYER.TGA"
SMOKE_1.TGA RCDATA "SMOKE_1.TGA"
SMOKE_2.TGA RCDATA "SMOKE_2.TGA"
SMOKE_3.TGA RCDATA "SMOKE_3.TGA"
SMOKE_4.TGA RCDATA "SMOKE_4.TGA"
SMOKE_5.TGA RCDATA "SMOKE_5.TGA"
COAL_LOCO.BMP RCDATA "COAL_LOCO.BMP"
WAGON_1.BMP RCDATA "WAGON_1.BMP"
WAGON_2.BMP RCDATA "WAGON_2.BMP"
WAGON_3.BMP RCDATA "WAGON_3.BMP"
WAGON_4.BMP RCDATA "WAGON_4.BMP"
WAGON_5.BMP RCDATA "WAGON_5.BMP"
WHEEL.BMP RCDATA "WHEEL.BMP"
126 ICON "kqdisk.ico"
