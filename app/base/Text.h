// Text helpers shared by the whole program. Nothing here knows about Windows: the
// program's text is std::wstring (UTF-16 on Windows, UTF-32 on the host), and bytes that
// must be UTF-16LE (registry data, digest input, driver replies) are converted explicitly.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace base {

// Case folding used for every "ignoring case" comparison of the program: ASCII, Latin-1,
// Latin Extended-A, Greek and Cyrillic capitals fold to their small letters. It does not
// depend on the C library's locale, so host and Windows builds agree.
wchar_t FoldCase(wchar_t c);

// Lower-cased copy of |s| (FoldCase applied to every character).
std::wstring ToLower(const std::wstring& s);

bool EqualsNoCase(const std::wstring& a, const std::wstring& b);

// True when |s| begins with |prefix|, ignoring case.
bool StartsWithNoCase(const std::wstring& s, const std::wstring& prefix);

// Position of the first occurrence of |needle| in |haystack| at or after |from|, ignoring
// case; std::wstring::npos when there is none. An empty needle is found at |from|.
size_t FindNoCase(const std::wstring& haystack, const std::wstring& needle, size_t from = 0);

// Replaces every occurrence of |from| by |to|, scanning left to right; replaced text is
// never scanned again, so |to| may contain |from|. Case-sensitive. An empty |from|
// changes nothing. Returns the number of replacements.
size_t ReplaceAll(std::wstring& s, const std::wstring& from, const std::wstring& to);

// Removes every trailing backslash.
void TrimTrailingBackslashes(std::wstring& s);
std::wstring TrimmedTrailingBackslashes(std::wstring s);

// printf-style formatting over vswprintf. Wide strings are always passed with %ls (the
// meaning of %s in wide formats differs between C libraries). The result is not limited
// in length.
std::wstring Format(const wchar_t* format, ...);
std::wstring FormatV(const wchar_t* format, va_list args);

// UTF-16LE bytes of |s|, without a terminator. On the host, characters above U+FFFF are
// written as surrogate pairs.
std::vector<uint8_t> ToUtf16LE(const std::wstring& s);

// Decodes |byteCount| bytes of UTF-16LE (an odd last byte is ignored). Every unit is kept,
// including embedded null units; callers that want a C string cut at the first null.
std::wstring FromUtf16LE(const void* bytes, size_t byteCount);

// Text up to (not including) the first null unit of UTF-16LE data, or all of it when it
// has no null unit.
std::wstring FromUtf16LEUntilNull(const void* bytes, size_t byteCount);

// UTF-8 conversions for host-side diagnostics and files (invalid input is replaced by
// U+FFFD).
std::string ToUtf8(const std::wstring& s);
std::wstring FromUtf8(const std::string& s);

}  // namespace base
