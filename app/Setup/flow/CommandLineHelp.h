// The options box: "-?", "/?", "-help" or "/help" on the command line shows one message box
// that lists the options, one line each, and the exit codes, in the user-interface language
// (string IDS_COMMAND_LINE_HELP), before the checks or anything else of an installation.
// Nothing is installed and no one is told. With -suppressmsgboxes the recording layer
// answers the box unseen (and logs it), so nothing is shown.
#pragma once

#include <cstdint>

#include "platform/Platform.h"

// Shows the box (OK, information icon, the program's title as caption) and returns the
// run's exit code, kExitNothingToInstall (0), whatever the box's answer.
uint32_t ShowCommandLineHelp(platform::Platform& platform);
