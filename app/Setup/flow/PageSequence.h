// The wizard's page sequence and the completion: the pages in order with what each one is
// given and what is taken from it, the silent path that walks the same stages without a
// page, and the restart after the Finish page.
#pragma once

#include <cstdint>
#include <string>

#include "Setup/flow/InstallerSettings.h"
#include "Setup/flow/SetupProcess.h"
#include "platform/Platform.h"

// Runs the sequence once: the pages in interactive mode, the silent path otherwise.
// Returns the run's exit code (Setup/flow/ExitCodes.h).
uint32_t RunPageSequence(platform::Platform& platform, InstallerSettings& settings,
                         const SetupProcess& process, bool silent);

// Enables the shutdown privilege of the process and asks Windows for a forced restart. The
// token handle is left open (the process ends right after). Returns whether Windows
// accepted the request; the program tells the user nothing either way.
bool RestartComputer(platform::Processes& processes);
