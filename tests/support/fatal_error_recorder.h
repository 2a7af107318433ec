// The shell's fatal error routine for tests of the parts below the shell: it records the
// message and unwinds back to the test instead of ending the process.
#pragma once

#include <functional>
#include <string>

// Runs the step and returns the message it ended the program with ("" when it did not).
std::string fatalErrorMessage(const std::function<void()>& step);
