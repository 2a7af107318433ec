#include "fatal_error_recorder.h"

#include <windows.h>

#include "fatal_error.h"
#include "main_window.h"

// The renderer reads the shell's window handle; tests that need a window set it.
HWND mainWindow = nullptr;

namespace {

struct FatalErrorCalled {
  std::string message;
};

}  // namespace

void fatalError(const char* message) { throw FatalErrorCalled{message}; }

std::string fatalErrorMessage(const std::function<void()>& step) {
  try {
    step();
  } catch (const FatalErrorCalled& called) {
    return called.message;
  }
  return "";
}
