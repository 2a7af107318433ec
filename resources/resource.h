// Identifiers of the program's embedded resources.
#pragma once

#define IDR_REGION 102
#define IDI_KQDISK 126
