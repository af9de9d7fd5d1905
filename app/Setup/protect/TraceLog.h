// The trace log: a diagnostic log that is switched on by creating the file C:\cvtrace.log.
// CvTrace appends one line per call to it, and only when it exists; it never creates the
// log on its own. A log of 1 MiB or more is deleted before the next line, which then
// starts a new file.
//
// A line is "[ % 16s ] | " with the tag "Corvane" (a 23-character prefix), the message and
// a line break, written as the C runtime's text-mode stream writes it: one byte per
// character, CR LF for every line feed. A character above 255 is written as "?". The
// message and the whole line are each cut to 4095 characters.
//
// The log is never written through a link: a log that is a symbolic link (or another
// reparse point), a folder or a file with more than one name is left alone.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Platform.h"

constexpr const wchar_t kTraceLogPath[] = L"C:\\cvtrace.log";
constexpr const wchar_t kTraceTag[] = L"Corvane";
constexpr uint64_t kTraceLogLimit = 0x100000;
constexpr size_t kTraceTextLimit = 4095;

// The bytes CvTrace appends for |message|.
std::string TraceLineBytes(const std::wstring& message);

// Formats the message (printf-style, %ls for wide strings) and appends its line. Leaves
// the thread's last-error value as it found it.
void CvTrace(platform::Platform& platform, const wchar_t* format, ...);
