// The end of the program after a failure it cannot go on from.
#pragma once

// Fades out and closes the sound system if it was started, releases the scene, the device and
// the main window (whatever of them exists), writes the message and a newline to the debugger
// output, shows it in a message box captioned with the program's name and, once that is
// closed, ends the process with exit code 5.
// Callable from any start-up step and from the main loop, with state only partly built.
[[noreturn]] void fatalError(const char* message);
