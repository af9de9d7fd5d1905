// The bundle of ports a routine of the program works with. The entry point hands the real
// one (Win32 adapters) to the program; tests hand a simulated machine's.
#pragma once

#include "platform/Files.h"
#include "platform/Processes.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "platform/System.h"
#include "platform/Types.h"
#include "platform/Ui.h"
#include "platform/Volumes.h"
#include "platform/WinConst.h"
#include "platform/Wmi.h"

namespace platform {

struct Platform {
    Registry& registry;
    Files& files;
    Volumes& volumes;
    Shell& shell;
    System& system;
    Processes& processes;
    Wmi& wmi;
    Ui& ui;
};

}  // namespace platform
