#include "fatal_error_recorder.h"

#include "shell.h"

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
