// Names the simulated components share with the ports.
#pragma once

#include "platform/Platform.h"

namespace sim {

using platform::BrushHandle;
using platform::Color;
using platform::DcHandle;
using platform::DialogProcedure;
using platform::EditStreamCallback;
using platform::FileHandle;
using platform::FindData;
using platform::FindHandle;
using platform::FontDescription;
using platform::FontHandle;
using platform::Guid;
using platform::Hive;
using platform::HotfixEnumerator;
using platform::HotfixId;
using platform::IconHandle;
using platform::KernelHandle;
using platform::KeyHandle;
using platform::Luid;
using platform::ModuleHandle;
using platform::OsVersion;
using platform::ProcAddress;
using platform::ProcessInfo;
using platform::Rect;
using platform::ShellLink;
using platform::ShellLinkInfo;
using platform::StartupOptions;
using platform::StockBrush;
using platform::SystemTime;
using platform::ThreadProc;
using platform::VolumeFindHandle;
using platform::WindowHandle;
using platform::WindowRelation;
using platform::WmiNext;
using platform::WmiStage;
using platform::Wow64Probe;

}  // namespace sim
