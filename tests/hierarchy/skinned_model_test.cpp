#include "hierarchy_test_support.h"
