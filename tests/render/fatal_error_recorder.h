// A stand-in for the shell's fatal error routine in renderer tests: it records the message
// and unwinds back to the test instead of ending the process.
#pragma once

#include <functional>
#include <string>

// Runs the step and returns the message it ended the program with ("" when it did not).
std::string fatalErrorMessage(const std::function<void()>& step);
