#pragma once
#include <QString>

// Confines corvane-import before any reader looks at the roster: no new privileges, and a
// seccomp filter under which files open for reading only, and nothing can be written but
// the descriptors already open (the reply pipe, standard error). Sockets, exec, new
// processes, ptrace, creating, renaming or removing files all fail with EPERM or EACCES, so
// that a reader taken over by a hostile file can neither touch the user's files nor reach
// the network. Opening for reading stays allowed: the database and dBase readers open their
// companion files and the libraries their character-set modules as they go, and the Excel
// reader parses the whole workbook while opening it.
//
// Returns an empty string when confined, else why it could not be. Where the platform has
// no such filter (or the build switched it off, CORVANE_IMPORT_SANDBOX=OFF, for sanitizer or
// fuzzing builds that need more of the system) it does nothing and says so in
// ImportSandboxAvailable().
QString EnterImportSandbox();
bool ImportSandboxAvailable();
