// The hotfix inventory: whether a Windows update is installed, from the WMI class
// Win32_QuickFixEngineering, queried through the Wmi port on the calling thread (which must
// have COM initialised; the start-up puts the main thread in the multithreaded apartment).
#pragma once

#include <cstdint>
#include <string>

#include "platform/Platform.h"

// How long the walk through the query's results waits for each next object. A healthy
// service hands the first object over within seconds; the longest honest wait is the first
// one right after the computer started (setup run from a logon script): the WMI service may
// still be starting (the service control manager allows a service 30 seconds), then its
// provider host has to load and gather the update list, which on an old Windows 7 with
// hundreds of updates on a slow disk takes tens of seconds more. Only a service that is
// stuck waits longer than a minute, and setup must not sit for ever without a window.
// Running out counts as a failed query: the update is taken as missing and the user is
// asked whether to go on.
constexpr uint32_t kHotfixWaitMilliseconds = 60000;

// True when some installed update's HotFixID matches |updateId| ("KB3033929"), false when
// none does and on every failure: the locator, the connection to root\CIMV2, the proxy
// security, the query, a failing or a timed-out wait for the next object. Objects whose
// HotFixID cannot be read, is empty or null, or cannot be made text are passed over.
bool IsHotfixInstalled(platform::Platform& platform, const std::wstring& updateId);

// The matching rule, on texts already in lower case: |lowerId| occurs in |lowerText| first
// at a position after its first character ("q3033929" holds "3033929"), or the whole text
// equals it ignoring case. A text that starts with the identifier and goes on after it does
// not match.
bool HotfixTextMatches(const std::wstring& lowerId, const std::wstring& lowerText);
