// Requests from outside to end the program: a signal (kill, Ctrl+C in a terminal, the
// session hanging up) and the loss of the display connection.
#pragma once

namespace win32 {

// SIGTERM, SIGINT and SIGHUP become a close request for the program's windows, made the
// next time the thread looks for messages. A second signal that arrives while the first is
// still waiting ends the process at once, as the signal would by default. Installed before
// SDL starts, so that SDL leaves these signals alone.
void installTerminationHandlers();

// Whether a signal asked the program to end since the last call that returned true.
bool takeTerminationRequest();
// Puts a request taken by takeTerminationRequest back (no window could receive it yet).
void keepTerminationRequest();

// Ends the process with exit code 1 and one line on stderr when the display connection is
// lost, without any teardown that would talk to the dead server.
void installLostDisplayHandler();

}  // namespace win32
