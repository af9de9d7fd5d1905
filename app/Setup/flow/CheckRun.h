// The check-only run (-check): before a deployment, an administrator learns from the exit
// code whether an installation would go ahead on this computer, and nothing is installed.
// The prerequisite checks run as an installation runs them, in the same order and on the
// same data, but show no box and tell no Warden; no page is shown and the configuration
// file is not read. The machine is left as it was: only the install log, when -log: names
// one, is written.
#pragma once

#include <cstdint>
#include <string>

#include "Setup/flow/InstallerSettings.h"
#include "Setup/flow/SetupProcess.h"
#include "platform/Platform.h"

// The checks in check-only mode; returns the run's exit code (Setup/flow/ExitCodes.h):
// kExitNothingToInstall (0) when an installation would start without a question, the
// refusal's code (1633, 19, 32), or kExitUpdatesMissing (1150) when it would ask about
// missing Windows updates.
uint32_t RunCheckOnly(platform::Platform& platform, InstallerSettings& settings,
                      const SetupProcess& process);

// What a check-only run's exit code means, in the words of the install log's last line.
std::wstring CheckRunMeaning(uint32_t code);
