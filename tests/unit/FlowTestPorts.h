// Ports for the flow and install tests: each forwards every call to a simulated machine's
// component (platform/Forwarding.h), and a test overrides the calls it wants to see or to
// answer itself; and a log those overrides write what they saw into.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Forwarding.h"
#include "platform/Platform.h"

namespace flowtest {

// What the ports saw, in order, one line each; threads may add lines concurrently.
class Log {
public:
    void Add(const std::wstring& line) {
        std::lock_guard<std::mutex> guard(mutex_);
        lines_.push_back(line);
    }
    std::vector<std::wstring> Lines() {
        std::lock_guard<std::mutex> guard(mutex_);
        return lines_;
    }
    // The lines that start with |prefix|.
    std::vector<std::wstring> Starting(const std::wstring& prefix) {
        std::vector<std::wstring> out;
        for (const std::wstring& line : Lines()) {
            if (line.compare(0, prefix.size(), prefix) == 0) {
                out.push_back(line);
            }
        }
        return out;
    }

private:
    std::mutex mutex_;
    std::vector<std::wstring> lines_;
};

using platform::BrushHandle;
using platform::Color;
using platform::DcHandle;
using platform::DialogProcedure;
using platform::DllSearchRestriction;
using platform::EditStreamCallback;
using platform::FontDescription;
using platform::FontHandle;
using platform::Guid;
using platform::IconHandle;
using platform::KernelHandle;
using platform::Luid;
using platform::ModuleHandle;
using platform::OsVersion;
using platform::ProcAddress;
using platform::ProcessInfo;
using platform::Rect;
using platform::StartupOptions;
using platform::StockBrush;
using platform::ThreadProc;
using platform::WindowHandle;
using platform::WindowRelation;
using platform::Wow64Probe;

using platform::ForwardingProcesses;
using platform::ForwardingSystem;
using platform::ForwardingUi;
using platform::ForwardingVolumes;

}  // namespace flowtest
