// The process entry of a program written against WinMain: brings the window layer up,
// calls WinMain with the program's module handle and the command line after the program
// name, and exits with its result.
#include <string>

#include <win32_layer.h>

int main(int argc, char** argv) {
  win32Initialise();
  std::string commandLine;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) commandLine += ' ';
    const std::string arg = argv[i];
    if (arg.find_first_of(" \t") != std::string::npos)
      commandLine += '"' + arg + '"';
    else
      commandLine += arg;
  }
  const int result = WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWDEFAULT);
  win32Shutdown();
  return result;
}
