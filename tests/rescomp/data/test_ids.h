// Identifiers of the resource compiler's test resources.
#pragma once

#define IDR_BLOB 101
#define IDR_EMPTY 102
#define IDI_TEST 126

// A header may carry C code as well; only its directives concern a resource script.
struct TestIds {
  int unused;
};
