// The private-profile (INI) functions of SimFiles.
//
// Reading follows the documented and observed rules of GetPrivateProfileStringW: section
// and key names are compared ignoring case, the first matching section and the first
// matching key in it count, blanks (space, tab, vertical tab) around names and values in
// the file are ignored, a line starting with ';' is a comment, one pair of matching quotes
// (" or ') around a value is removed, and trailing spaces of the default are dropped.
// A value found sets the last error to 0; the default sets kErrorFileNotFound; a result cut
// to the buffer sets kErrorMoreData. A file starting with FF FE is UTF-16LE, anything else
// is read in the ANSI code page (Windows-1252).
#include <algorithm>

#include "base/Text.h"
#include "sim/Machine.h"

namespace sim {

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

// Windows-1252 characters for bytes 0x80-0x9F (the rest of the code page is Latin-1).
const wchar_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

std::wstring DecodeAnsi(const std::vector<uint8_t>& bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    for (uint8_t b : bytes)
        out += (b >= 0x80 && b < 0xA0) ? kCp1252High[b - 0x80] : wchar_t(b);
    return out;
}

std::vector<uint8_t> EncodeAnsi(const std::wstring& text) {
    std::vector<uint8_t> out;
    out.reserve(text.size());
    for (wchar_t c : text) {
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out.push_back(static_cast<uint8_t>(c));
            continue;
        }
        uint8_t mapped = '?';
        for (int i = 0; i < 32; ++i) {
            if (kCp1252High[i] == c)
                mapped = static_cast<uint8_t>(0x80 + i);
        }
        out.push_back(mapped);
    }
    return out;
}

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\v';
}

std::wstring TrimBlanks(const std::wstring& s) {
    size_t begin = 0, end = s.size();
    while (begin < end && IsBlank(s[begin]))
        ++begin;
    while (end > begin && IsBlank(s[end - 1]))
        --end;
    return s.substr(begin, end - begin);
}

std::wstring TrimSpaces(const std::wstring& s) {
    size_t begin = 0, end = s.size();
    while (begin < end && s[begin] == L' ')
        ++begin;
    while (end > begin && s[end - 1] == L' ')
        --end;
    return s.substr(begin, end - begin);
}

std::vector<std::wstring> SplitLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos)
            end = text.size();
        std::wstring line = text.substr(start, end - start);
        if (!line.empty() && line.back() == L'\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// A parsed line of a profile.
struct IniLine {
    enum Kind { Other, Section, Entry } kind = Other;
    std::wstring name;  // section or key name (trimmed)
    bool hasValue = false;
    std::wstring value;  // trimmed value text
};

IniLine ParseLine(const std::wstring& raw) {
    IniLine line;
    size_t i = 0;
    while (i < raw.size() && (IsBlank(raw[i]) || raw[i] == L'\r'))
        ++i;
    if (i >= raw.size())
        return line;
    if (raw[i] == L'[') {
        size_t close = raw.find(L']', i + 1);
        line.kind = IniLine::Section;
        line.name = TrimBlanks(
            raw.substr(i + 1, close == std::wstring::npos ? std::wstring::npos : close - i - 1));
        return line;
    }
    if (raw[i] == L';')
        return line;
    line.kind = IniLine::Entry;
    size_t equals = raw.find(L'=', i);
    if (equals == std::wstring::npos) {
        line.name = TrimBlanks(raw.substr(i));
    } else {
        line.name = TrimBlanks(raw.substr(i, equals - i));
        line.hasValue = true;
        line.value = TrimBlanks(raw.substr(equals + 1));
    }
    return line;
}

std::wstring StripQuotes(const std::wstring& value) {
    if (value.size() >= 2 && (value[0] == L'"' || value[0] == L'\'') && value.back() == value[0]) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// RtlUnicodeStringToInteger with base 0: blanks, a sign, an optional 0x / 0o / 0b prefix,
// then digits up to the first character that is not one; the value wraps at 32 bits.
uint32_t ParseProfileInt(const std::wstring& text) {
    size_t i = 0;
    while (i < text.size() && text[i] <= L' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }
    uint32_t base = 10;
    if (i + 1 < text.size() && text[i] == L'0') {
        wchar_t p = text[i + 1];
        if (p == L'x' || p == L'X') {
            base = 16;
        } else if (p == L'o' || p == L'O') {
            base = 8;
        } else if (p == L'b' || p == L'B') {
            base = 2;
        }
        if (base != 10)
            i += 2;
    }
    uint32_t value = 0;
    for (; i < text.size(); ++i) {
        wchar_t c = text[i];
        uint32_t digit;
        if (c >= L'0' && c <= L'9') {
            digit = c - L'0';
        } else if (c >= L'a' && c <= L'f') {
            digit = c - L'a' + 10;
        } else if (c >= L'A' && c <= L'F') {
            digit = c - L'A' + 10;
        } else {
            break;
        }
        if (digit >= base)
            break;
        value = value * base + digit;
    }
    // GetPrivateProfileInt is documented to return zero for a value below zero. (Wine
    // returns the negative number converted to unsigned; the conformance table records
    // that difference.)
    return negative && value != 0 ? 0u : value;
}

}  // namespace

std::wstring SimFiles::ProfilePath(const std::wstring& file) {
    // A bare file name is looked for in the Windows folder.
    if (file.find_first_of(L"\\/") == std::wstring::npos &&
        !(file.size() >= 2 && file[1] == L':')) {
        return WindowsFolder() + L"\\" + file;
    }
    return file;
}

bool SimFiles::ReadProfileText(const std::wstring& path, std::wstring* text, bool* unicode,
                               uint32_t* error) {
    // A symbolic link is read through.
    const std::wstring full = FollowLinks(path, error);
    if (*error)
        return false;
    Node* n = Lookup(full);
    if (!n) {
        *error = MissingError(full);
        return false;
    }
    if (n->directory) {
        *error = win::kErrorAccessDenied;
        return false;
    }
    if (n->content->locked) {
        *error = win::kErrorSharingViolation;
        return false;
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(n->content->size));
    ReadData(*n, 0, bytes.data(), bytes.size());
    *unicode = bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
    if (*unicode) {
        *text = base::FromUtf16LE(bytes.data() + 2, bytes.size() - 2);
    } else {
        *text = DecodeAnsi(bytes);
    }
    return true;
}

uint32_t SimFiles::GetPrivateProfileString(const std::wstring& section, const std::wstring& key,
                                           const std::wstring& defaultValue, std::wstring* value,
                                           uint32_t bufferChars, const std::wstring& file) {
    Guard guard(machine_.Lock());
    std::wstring fallback = defaultValue;
    while (!fallback.empty() && fallback.back() == L' ')
        fallback.pop_back();

    std::wstring path = ProfilePath(file);
    std::wstring result = fallback;
    uint32_t error = win::kErrorFileNotFound;
    if (!Injected(FileOp::GetPrivateProfileString, {&path})) {
        Resolved r = Resolve(path);
        std::wstring text;
        bool unicode = false;
        uint32_t readError = 0;
        if (r.target == Target::Path && !CheckDrive(r) &&
            ReadProfileText(r.full, &text, &unicode, &readError)) {
            std::wstring wantSection = TrimSpaces(section), wantKey = TrimSpaces(key);
            bool inSection = false, sectionSeen = false;
            for (const auto& raw : SplitLines(text)) {
                IniLine line = ParseLine(raw);
                if (line.kind == IniLine::Section) {
                    if (sectionSeen)
                        break;  // later sections of the same name do not count
                    inSection = base::EqualsNoCase(line.name, wantSection);
                    sectionSeen = inSection;
                } else if (inSection && line.kind == IniLine::Entry && !wantKey.empty() &&
                           base::EqualsNoCase(line.name, wantKey)) {
                    if (line.hasValue) {
                        result = StripQuotes(line.value);
                        error = 0;
                    }
                    break;
                }
            }
        }
    } else {
        error = machine_.LastError();
    }

    if (bufferChars == 0) {
        if (value)
            value->clear();
        machine_.SetLastError(error);
        return 0;
    }
    if (result.size() > bufferChars - 1) {
        result.resize(bufferChars - 1);
        error = win::kErrorMoreData;
    }
    if (value)
        *value = result;
    machine_.SetLastError(error);
    return static_cast<uint32_t>(result.size());
}

uint32_t SimFiles::GetPrivateProfileInt(const std::wstring& section, const std::wstring& key,
                                        int32_t defaultValue, const std::wstring& file) {
    Guard guard(machine_.Lock());
    std::wstring path = ProfilePath(file);
    if (Injected(FileOp::GetPrivateProfileInt, {&path})) {
        return static_cast<uint32_t>(defaultValue);
    }
    std::wstring text;
    // Read through the string function with a small buffer, as Windows does.
    if (GetPrivateProfileString(section, key, L"", &text, 30, file) == 0) {
        return static_cast<uint32_t>(defaultValue);
    }
    return ParseProfileInt(text);
}

bool SimFiles::WritePrivateProfileString(const std::wstring& section, const std::wstring& key,
                                         const std::wstring& value, const std::wstring& file) {
    Guard guard(machine_.Lock());
    std::wstring path = ProfilePath(file);
    if (Injected(FileOp::WritePrivateProfileString, {&path}))
        return false;
    Resolved r = Resolve(path);
    if (r.target != Target::Path)
        return Fail(r.error ? r.error : win::kErrorAccessDenied);
    if (uint32_t e = CheckDrive(r))
        return Fail(e);
    if (IsRoot(r.full))
        return Fail(win::kErrorAccessDenied);
    uint32_t linkError = 0;
    r.full = FollowLinks(r.full, &linkError);
    if (linkError)
        return Fail(linkError);

    std::wstring text;
    bool unicode = false;
    Node* n = Lookup(r.full);
    if (n) {
        if (n->directory)
            return Fail(win::kErrorAccessDenied);
        if (n->content->locked || n->content->inUse ||
            ShareConflict(r.full, win::kGenericWrite, 0)) {
            return Fail(win::kErrorSharingViolation);
        }
        if (n->content->attributes & win::kFileAttributeReadonly)
            return Fail(win::kErrorAccessDenied);
        uint32_t error = 0;
        if (!ReadProfileText(r.full, &text, &unicode, &error))
            return Fail(error);
    } else if (!FolderExists(ParentOf(r.full))) {
        return Fail(win::kErrorPathNotFound);
    }

    std::wstring wantSection = TrimSpaces(section), wantKey = TrimSpaces(key);
    std::wstring newValue = value;
    size_t lead = 0;
    while (lead < newValue.size() && IsBlank(newValue[lead]))
        ++lead;
    newValue.erase(0, lead);

    std::vector<std::wstring> lines = SplitLines(text);
    size_t sectionLine = std::wstring::npos, lastInSection = 0;
    bool replaced = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        IniLine line = ParseLine(lines[i]);
        if (line.kind == IniLine::Section) {
            if (sectionLine != std::wstring::npos)
                break;
            if (base::EqualsNoCase(line.name, wantSection)) {
                sectionLine = i;
                lastInSection = i;
            }
        } else if (sectionLine != std::wstring::npos) {
            if (line.kind == IniLine::Entry && base::EqualsNoCase(line.name, wantKey)) {
                lines[i] = line.name + L"=" + newValue;
                replaced = true;
                break;
            }
            if (!TrimBlanks(lines[i]).empty())
                lastInSection = i;
        }
    }
    if (!replaced) {
        if (sectionLine == std::wstring::npos) {
            lines.push_back(L"[" + wantSection + L"]");
            lines.push_back(wantKey + L"=" + newValue);
        } else {
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(lastInSection + 1),
                         wantKey + L"=" + newValue);
        }
    }
    std::wstring out;
    for (const auto& line : lines)
        out += line + L"\r\n";

    std::vector<uint8_t> bytes;
    if (unicode) {
        bytes = {0xFF, 0xFE};
        std::vector<uint8_t> body = base::ToUtf16LE(out);
        bytes.insert(bytes.end(), body.begin(), body.end());
    } else {
        bytes = EncodeAnsi(out);
    }
    uint64_t oldSize = n ? n->content->size : 0;
    if (!Reserve(r.full, oldSize, bytes.size()))
        return Fail(win::kErrorDiskFull);
    if (!n)
        n = &CreateNode(r.full, false, win::kFileAttributeArchive);
    n->content->pages.clear();
    n->content->size = 0;
    WriteData(*n, 0, bytes.data(), bytes.size());
    n->content->attributes |= win::kFileAttributeArchive;
    return true;
}

}  // namespace sim
