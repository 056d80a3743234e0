#pragma once

#include "cli/command_line.h"

// Carries out a command other than the window's and gives the exit status:
// 0 every tile stored, 3 the run ended with tiles failed or left, 1 nothing
// could run or the run was refused, 2 a wrong command line, 128 + the signal
// for a run stopped by SIGINT or SIGTERM. Needs a QCoreApplication and no
// display.
int RunCommandLine(const Command& command);

enum ExitStatus : int {
    kExitAllStored = 0,
    kExitRefused = 1,
    kExitWrongCommandLine = 2,
    kExitTilesFailed = 3,
};
