#pragma once

#include "standalone/RunOptions.h"

// Reads the command line in the GLib way (GOptionContext): "--help" lists
// every option, "--version" prints the version. Returns -1 when the program
// is to go on with options filled in; otherwise the exit code to end with
// at once (0 after help or the version, 2 after an unknown option or a bad
// value, said on standard error). Main thread, before anything else runs.
int ParseCommandLine(int argc, char** argv, RunOptions& options);
