#include "base/Text.h"

#include <cwchar>

namespace base {

wchar_t FoldCase(wchar_t c) {
    const uint32_t u = static_cast<uint32_t>(c);
    if (u >= 'A' && u <= 'Z')
        return static_cast<wchar_t>(u + 32);
    if (u < 0xC0)
        return c;
    if ((u >= 0xC0 && u <= 0xDE) && u != 0xD7)
        return static_cast<wchar_t>(u + 32);
    if (u >= 0x100 && u <= 0x17F) {
        // Latin Extended-A: capitals on even code points, except the run 0x139..0x148
        // and 0x179..0x17E where they sit on odd ones; 0x130, 0x131, 0x138, 0x149 and
        // 0x17F have no simple pair.
        if (u == 0x130 || u == 0x131 || u == 0x138 || u == 0x149 || u == 0x17F)
            return c;
        if (u == 0x178)
            return static_cast<wchar_t>(0xFF);
        const bool oddCapitals = (u >= 0x139 && u <= 0x148) || (u >= 0x179 && u <= 0x17E);
        const bool isCapital = oddCapitals ? (u % 2 == 1) : (u % 2 == 0);
        return isCapital ? static_cast<wchar_t>(u + 1) : c;
    }
    if (u >= 0x391 && u <= 0x3AB && u != 0x3A2)
        return static_cast<wchar_t>(u + 32);
    if (u >= 0x410 && u <= 0x42F)
        return static_cast<wchar_t>(u + 32);
    if (u >= 0x400 && u <= 0x40F)
        return static_cast<wchar_t>(u + 80);
    if (u >= 0xFF21 && u <= 0xFF3A)
        return static_cast<wchar_t>(u + 32);
    return c;
}

std::wstring ToLower(const std::wstring& s) {
    std::wstring out(s);
    for (auto& c : out)
        c = FoldCase(c);
    return out;
}

bool EqualsNoCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldCase(a[i]) != FoldCase(b[i]))
            return false;
    }
    return true;
}

bool StartsWithNoCase(const std::wstring& s, const std::wstring& prefix) {
    if (prefix.size() > s.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (FoldCase(s[i]) != FoldCase(prefix[i]))
            return false;
    }
    return true;
}

size_t FindNoCase(const std::wstring& haystack, const std::wstring& needle, size_t from) {
    if (from > haystack.size())
        return std::wstring::npos;
    if (needle.empty())
        return from;
    if (needle.size() > haystack.size())
        return std::wstring::npos;
    for (size_t i = from; i + needle.size() <= haystack.size(); ++i) {
        size_t k = 0;
        while (k < needle.size() && FoldCase(haystack[i + k]) == FoldCase(needle[k]))
            ++k;
        if (k == needle.size())
            return i;
    }
    return std::wstring::npos;
}

size_t ReplaceAll(std::wstring& s, const std::wstring& from, const std::wstring& to) {
    if (from.empty())
        return 0;
    size_t count = 0;
    std::wstring out;
    size_t pos = 0;
    for (;;) {
        const size_t hit = s.find(from, pos);
        if (hit == std::wstring::npos)
            break;
        out.append(s, pos, hit - pos);
        out.append(to);
        pos = hit + from.size();
        ++count;
    }
    if (count == 0)
        return 0;
    out.append(s, pos, std::wstring::npos);
    s.swap(out);
    return count;
}

void TrimTrailingBackslashes(std::wstring& s) {
    while (!s.empty() && s.back() == L'\\')
        s.pop_back();
}

std::wstring TrimmedTrailingBackslashes(std::wstring s) {
    TrimTrailingBackslashes(s);
    return s;
}

namespace {

// One attempt at formatting into |buffer|: the number of characters written (without the
// terminator), or a negative number when they do not fit or a conversion fails. On Windows
// the C runtime's own _vsnwprintf does the work; the standard name would bring MinGW's
// complete printf implementation (floating point included) into the program, and the
// program's formats (%d, %x, %ls with widths) mean the same to both.
int FormatInto(wchar_t* buffer, size_t chars, const wchar_t* format, va_list args) {
#ifdef _WIN32
    return _vsnwprintf(buffer, chars, format, args);
#else
    return std::vswprintf(buffer, chars, format, args);
#endif
}

}  // namespace

std::wstring FormatV(const wchar_t* format, va_list args) {
    if (format == nullptr)
        return std::wstring();
    // A buffer that is too small shows only as a negative result (or, on Windows, as a
    // result equal to its size with no terminator), so grow until it fits. A negative
    // result for a large buffer means a conversion error.
    std::vector<wchar_t> buffer(256);
    for (;;) {
        va_list copy;
        va_copy(copy, args);
        const int n = FormatInto(buffer.data(), buffer.size(), format, copy);
        va_end(copy);
        if (n >= 0 && static_cast<size_t>(n) < buffer.size()) {
            return std::wstring(buffer.data(), static_cast<size_t>(n));
        }
        if (buffer.size() >= (static_cast<size_t>(1) << 24))
            return std::wstring();
        buffer.assign(buffer.size() * 4, L'\0');
    }
}

std::wstring Format(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::wstring s = FormatV(format, args);
    va_end(args);
    return s;
}

std::vector<uint8_t> ToUtf16LE(const std::wstring& s) {
    std::vector<uint8_t> out;
    out.reserve(s.size() * 2);
    auto put = [&out](uint32_t unit) {
        out.push_back(static_cast<uint8_t>(unit & 0xFF));
        out.push_back(static_cast<uint8_t>((unit >> 8) & 0xFF));
    };
    for (wchar_t wc : s) {
        uint32_t c = static_cast<uint32_t>(wc);
        if (sizeof(wchar_t) > 2 && c > 0xFFFF) {
            if (c > 0x10FFFF)
                c = 0xFFFD;
            else {
                c -= 0x10000;
                put(0xD800 + (c >> 10));
                put(0xDC00 + (c & 0x3FF));
                continue;
            }
        }
        put(c & 0xFFFF);
    }
    return out;
}

std::wstring FromUtf16LE(const void* bytes, size_t byteCount) {
    const auto* b = static_cast<const uint8_t*>(bytes);
    const size_t units = byteCount / 2;
    std::wstring out;
    out.reserve(units);
    for (size_t i = 0; i < units; ++i) {
        uint32_t u = b[2 * i] | (static_cast<uint32_t>(b[2 * i + 1]) << 8);
        if (sizeof(wchar_t) > 2 && u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
            const uint32_t lo = b[2 * i + 2] | (static_cast<uint32_t>(b[2 * i + 3]) << 8);
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                out.push_back(static_cast<wchar_t>(0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00)));
                ++i;
                continue;
            }
        }
        out.push_back(static_cast<wchar_t>(u));
    }
    return out;
}

std::wstring FromUtf16LEUntilNull(const void* bytes, size_t byteCount) {
    std::wstring s = FromUtf16LE(bytes, byteCount);
    const size_t nul = s.find(L'\0');
    if (nul != std::wstring::npos)
        s.resize(nul);
    return s;
}

std::string ToUtf8(const std::wstring& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        uint32_t c = static_cast<uint32_t>(s[i]);
        if (sizeof(wchar_t) == 2 && c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size()) {
            const uint32_t lo = static_cast<uint32_t>(s[i + 1]);
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (lo - 0xDC00);
                ++i;
            }
        }
        if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)
            c = 0xFFFD;
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::wstring FromUtf8(const std::string& s) {
    std::wstring out;
    size_t i = 0;
    auto push = [&out](uint32_t c) {
        if (sizeof(wchar_t) == 2 && c > 0xFFFF) {
            c -= 0x10000;
            out.push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<wchar_t>(c));
        }
    };
    while (i < s.size()) {
        const auto b0 = static_cast<uint8_t>(s[i]);
        int extra = 0;
        uint32_t c = 0;
        if (b0 < 0x80) {
            c = b0;
        } else if ((b0 & 0xE0) == 0xC0) {
            c = b0 & 0x1F;
            extra = 1;
        } else if ((b0 & 0xF0) == 0xE0) {
            c = b0 & 0x0F;
            extra = 2;
        } else if ((b0 & 0xF8) == 0xF0) {
            c = b0 & 0x07;
            extra = 3;
        } else {
            push(0xFFFD);
            ++i;
            continue;
        }
        bool ok = true;
        for (int k = 1; k <= extra; ++k) {
            if (i + k >= s.size() || (static_cast<uint8_t>(s[i + k]) & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            c = (c << 6) | (static_cast<uint8_t>(s[i + k]) & 0x3F);
        }
        if (!ok) {
            push(0xFFFD);
            ++i;
            continue;
        }
        const uint32_t minimum[] = {0, 0x80, 0x800, 0x10000};
        if (c < minimum[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            c = 0xFFFD;
        push(c);
        i += static_cast<size_t>(extra) + 1;
    }
    return out;
}

}  // namespace base
