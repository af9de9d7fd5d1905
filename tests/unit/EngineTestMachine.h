// The install engine's tests: a simulated machine with the product's files beside the
// setup program, and a readable account of what an installation changed on the machine
// (files with their contents, shell links with their target, registry values with their
// types and sizes).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Setup/res/EmbeddedRes.h"
#include "base/Text.h"
#include "sim/Machine.h"

namespace enginetest {

constexpr const wchar_t kSetupDir[] = L"C:\\Setup";
constexpr const wchar_t kInstallDir[] = L"C:\\Program Files\\Corvane";
constexpr const wchar_t kDriversDir[] = L"C:\\Windows\\system32\\drivers";
constexpr const wchar_t kCommonPrograms[] =
    L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";
constexpr const wchar_t kUserDesktop[] = L"C:\\Users\\User\\Desktop";
constexpr const wchar_t kCommonDesktop[] = L"C:\\Users\\Public\\Desktop";
constexpr const wchar_t kQuickLaunch[] =
    L"C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch";

// The names of the product's files beside the setup program.
inline const std::vector<std::wstring>& ProductSourceNames() {
    static const std::vector<std::wstring> names = {L"Corvane.exe", L"Warden.exe",  L"Persist.exe",
                                                    L"Console.exe", L"Keeper.exe",  L"MenuExt.dll",
                                                    L"lang.ini",    L"Console.txt", L"Guide.chm",
                                                    L"terms.rtf",   L"cvflt.sys",   L"Remove.exe"};
    return names;
}

// What a source file holds: its name and |tag|, so that every copy can be traced.
inline std::string SourceContent(const std::wstring& name, const std::string& tag = "new") {
    return base::ToUtf8(name) + " " + tag;
}

// Every product file in C:\Setup, and the system's drivers folder.
inline void AddProductFiles(sim::Machine& m, const std::string& tag = "new") {
    for (const std::wstring& name : ProductSourceNames()) {
        m.files().AddFile(std::wstring(kSetupDir) + L"\\" + name, SourceContent(name, tag));
    }
    m.files().MakeFolders(kDriversDir);
}

// A machine with the program's resources and the product's files.
inline std::unique_ptr<sim::Machine> MakeMachine() {
    auto m = std::make_unique<sim::Machine>();
    size_t size = 0;
    const unsigned char* res = EmbeddedSetupRes(&size);
    EXPECT_TRUE(m->ui().SetResources(res, size));
    AddProductFiles(*m);
    return m;
}

// Text with control characters and quotes escaped, in double quotation marks.
inline std::wstring Quoted(const std::wstring& text) {
    std::wstring out = L"\"";
    for (wchar_t c : text) {
        if (c == L'"' || c == L'\\') {
            out += c == L'"' ? L"\\\"" : L"\\\\";
        } else if (c == L'\r') {
            out += L"\\r";
        } else if (c == L'\n') {
            out += L"\\n";
        } else if (c < 0x20) {
            out += base::Format(L"\\x%02x", static_cast<unsigned>(c));
        } else {
            out += c;
        }
    }
    return out + L"\"";
}

inline const wchar_t* TypeName(uint32_t type) {
    switch (type) {
        case win::kRegSz:
            return L"REG_SZ";
        case win::kRegExpandSz:
            return L"REG_EXPAND_SZ";
        case win::kRegBinary:
            return L"REG_BINARY";
        case win::kRegDword:
            return L"REG_DWORD";
        case win::kRegMultiSz:
            return L"REG_MULTI_SZ";
        default:
            return L"REG_OTHER";
    }
}

// A registry value as "TYPE data (N bytes)": strings with their units up to the end of the
// data (a missing or extra terminator shows), lists as their items, DWORDs in hex.
inline std::wstring DescribeValue(const sim::RegRawValue& v) {
    const std::wstring units = base::FromUtf16LE(v.bytes.data(), v.bytes.size());
    std::wstring data;
    if (v.type == win::kRegDword && v.bytes.size() == 4) {
        const uint32_t n = v.bytes[0] | (v.bytes[1] << 8) | (v.bytes[2] << 16) |
                           (static_cast<uint32_t>(v.bytes[3]) << 24);
        return base::Format(L"REG_DWORD 0x%08x", n);
    }
    if (v.type == win::kRegSz || v.type == win::kRegExpandSz) {
        data = Quoted(units);
    } else if (v.type == win::kRegMultiSz) {
        data = L"[";
        size_t start = 0;
        while (start < units.size()) {
            size_t end = units.find(L'\0', start);
            if (end == std::wstring::npos) {
                end = units.size();
            }
            data += (start == 0 ? L"" : L", ") + Quoted(units.substr(start, end - start));
            start = end + 1;
        }
        data += L"]";
    } else {
        for (uint8_t b : v.bytes) {
            data += base::Format(L"%02x", b);
        }
    }
    return base::Format(L"%ls %ls (%u bytes)", TypeName(v.type), data.c_str(),
                        static_cast<unsigned>(v.bytes.size()));
}

// A file as its text in quotation marks, or, when it is large or not text (a volume marker,
// the fingerprint record), as its size; then the read-only, hidden and system attributes.
inline std::wstring DescribeFile(sim::Machine& m, const std::wstring& path) {
    constexpr uint64_t kLargestText = 4096;
    const uint64_t size = m.files().Size(path).value_or(0);
    std::wstring description;
    bool text = size <= kLargestText;
    std::string bytes;
    if (text) {
        bytes = m.files().ReadText(path).value_or(std::string());
        for (unsigned char c : bytes) {
            text = text && (c >= 0x20 || c == '\r' || c == '\n' || c == '\t');
        }
    }
    description = text ? Quoted(base::FromUtf8(bytes))
                       : base::Format(L"binary, %llu bytes", static_cast<unsigned long long>(size));
    const uint32_t attributes = m.files().Attributes(path);
    const std::pair<uint32_t, const wchar_t*> flags[] = {
        {win::kFileAttributeReadonly, L"read-only"},
        {win::kFileAttributeHidden, L"hidden"},
        {win::kFileAttributeSystem, L"system"}};
    for (const auto& flag : flags) {
        if (attributes != win::kInvalidFileAttributes && (attributes & flag.first) != 0) {
            description += L" ";
            description += flag.second;
        }
    }
    return description;
}

using State = std::map<std::wstring, std::wstring>;  // what -> its description

inline void WalkKey(sim::SimRegistry& reg, platform::Hive hive, const wchar_t* hiveName,
                    const std::wstring& key, State* state) {
    for (const std::wstring& name : reg.ValueNames(hive, key)) {
        const auto raw = reg.GetRaw(hive, key, name);
        if (raw) {
            (*state)[base::Format(L"reg %ls\\%ls : %ls", hiveName, key.c_str(), name.c_str())] =
                DescribeValue(*raw);
        }
    }
    for (const std::wstring& sub : reg.SubKeyNames(hive, key)) {
        const std::wstring path = key.empty() ? sub : key + L"\\" + sub;
        (*state)[base::Format(L"key %ls\\%ls", hiveName, path.c_str())] = L"";
        WalkKey(reg, hive, hiveName, path, state);
    }
}

// Everything on the machine: folders, files (links read as links), registry keys and
// values.
inline State Snapshot(sim::Machine& m) {
    State state;
    for (const std::wstring& path : m.files().List()) {
        if (m.files().IsDirectory(path)) {
            state[L"folder " + path] = L"";
            continue;
        }
        platform::ShellLinkInfo link;
        const bool isLink = path.size() > 4 &&
                            base::EqualsNoCase(path.substr(path.size() - 4), L".lnk") &&
                            m.shell().ReadShellLink(path, &link);
        if (isLink) {
            state[L"link " + path] = base::Format(
                L"-> %ls in %ls, arguments %ls, show %d", link.target.c_str(),
                link.workingDirectory.c_str(), Quoted(link.arguments).c_str(), link.showCmd);
        } else {
            state[L"file " + path] = DescribeFile(m, path);
        }
    }
    const std::pair<platform::Hive, const wchar_t*> hives[] = {
        {platform::Hive::ClassesRoot, L"HKCR"},
        {platform::Hive::CurrentUser, L"HKCU"},
        {platform::Hive::LocalMachine, L"HKLM"},
        {platform::Hive::Users, L"HKU"}};
    for (const auto& hive : hives) {
        WalkKey(m.registry(), hive.first, hive.second, L"", &state);
    }
    return state;
}

// What changed from |before| to |after|, one line each, in order: "what = description" for
// what is new or different, "removed what" for what is gone.
inline std::vector<std::wstring> Changes(const State& before, const State& after) {
    std::vector<std::wstring> lines;
    for (const auto& entry : after) {
        const auto old = before.find(entry.first);
        if (old == before.end() || old->second != entry.second) {
            lines.push_back(entry.second.empty() ? entry.first
                                                 : entry.first + L" = " + entry.second);
        }
    }
    for (const auto& entry : before) {
        if (after.find(entry.first) == after.end()) {
            lines.push_back(L"removed " + entry.first);
        }
    }
    return lines;
}

// Compares two lists of lines one by one and prints both lists when they differ.
inline void ExpectSameLines(const std::vector<std::wstring>& got,
                            const std::vector<std::wstring>& expected) {
    bool same = got.size() == expected.size();
    const size_t n = std::max(got.size(), expected.size());
    for (size_t i = 0; i < n; ++i) {
        const std::wstring g = i < got.size() ? got[i] : L"(nothing)";
        const std::wstring e = i < expected.size() ? expected[i] : L"(nothing)";
        if (g != e) {
            same = false;
            ADD_FAILURE() << "line " << i << "\n     got: " << base::ToUtf8(g)
                          << "\nexpected: " << base::ToUtf8(e);
        }
    }
    if (!same) {
        std::string all;
        for (const std::wstring& line : got) {
            all += "    " + base::ToUtf8(line) + "\n";
        }
        ADD_FAILURE() << "all lines got:\n" << all;
    }
}

}  // namespace enginetest
