// The identifier of the COM base interface, shared by every interface object of the
// platform layers and the asset library.
#include <windows.h>

extern "C" const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
