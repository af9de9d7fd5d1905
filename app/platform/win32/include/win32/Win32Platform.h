// The real platform: the Win32 adapters of every port, for the program's entry point and
// the Windows test programs. Only code built for Windows includes this header.
#pragma once

#include "platform/Platform.h"

namespace win32 {

// The process-wide set of adapters (they hold no state of their own beyond what Windows
// keeps, so one instance serves every thread).
platform::Platform& RealPlatform();

}  // namespace win32
