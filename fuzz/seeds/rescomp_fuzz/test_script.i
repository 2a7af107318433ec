# 0 "test_script.rc"
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
# 1 "test_script.rc"
# 1 "test_ids.h" 1
#define IDR_BLOB 101
#define IDR_EMPTY 102
#define IDI_TEST 126
struct TestIds { int unused; };
# 4 "test_script.rc" 2
#define LOCAL_ID 0x200
LANGUAGE 0x09, 0x01
101 BINARY "blob.bin"
102 BINARY "empty.bin"
train_cabs.x X DISCARDABLE "mesh.x"
"final_layer.tga" RCDATA "blob.bin"
0x200 "Custom Type" "mesh.x"
"quote""name\\tail" RCDATA "mesh.x"
126 ICON "test.ico"
