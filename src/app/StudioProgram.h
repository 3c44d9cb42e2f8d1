#pragma once

// The program's run between the making of its application object and the end of its event
// loop, shared by main() and the tests that start and quit the program for real. The
// QApplication lives on main's stack and what is made here lives in run()'s frame, so both
// end in the order they end in the program: the delegate first, then the application with
// the shared objects hanging from it.
namespace StudioProgram {

// Hands the files of the command line to an instance already running and returns 0, or
// starts this one (document types, studio window, application delegate, the files) and runs
// the event loop until the application quits or SIGTERM, SIGINT or SIGHUP ends the loop (the
// documents with a file then keep their pending changes, written in place; untitled ones are
// closed without a question); returns the loop's exit code, or 1 when the end could not keep a
// change (a write refused; after a signal, a text refused or a document never saved), each
// said on the standard error output.
int run();

} // namespace StudioProgram
