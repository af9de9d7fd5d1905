// The command line: arbitrary text as the process's command line, split as
// CommandLineToArgvW splits it and read by the program's option rules; and the same units
// cut at line breaks as an argument vector of any shape (empty arguments, nulls inside).
// After each run the options must be what the rules give, worked out here on their own:
// "-silent", "-suppressmsgboxes", "-check", "-?" and "-help" (or with "/") as a whole
// argument (ignoring case) after argument 0, and the last "-config:" or "-log:" argument's
// rest without its leading and trailing runs of quotes.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "Setup/flow/SetupApp.h"

namespace {

wchar_t AsciiLower(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c;
}

bool SameIgnoringCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    }
    return true;
}

// The rules, independently of the program. Only ASCII letters occur in the option names,
// and no other character folds onto one of them.
bool IsFlag(const std::wstring& a, const std::wstring& name) {
    return SameIgnoringCase(a, L"-" + name) || SameIgnoringCase(a, L"/" + name);
}

bool HasValuePrefix(const std::wstring& a, const std::wstring& name) {
    const size_t n = name.size() + 1;
    return a.size() >= n && (SameIgnoringCase(a.substr(0, n), L"-" + name) ||
                             SameIgnoringCase(a.substr(0, n), L"/" + name));
}

std::wstring Unquoted(std::wstring rest) {
    size_t first = 0;
    while (first < rest.size() && rest[first] == L'"')
        ++first;
    rest.erase(0, first);
    while (!rest.empty() && rest.back() == L'"')
        rest.pop_back();
    return rest;
}

// What the fields hold before the rules run, so that a field the rules must leave alone
// shows it.
constexpr const wchar_t* kUntouched = L"(untouched)";

SetupOptions Untouched() {
    SetupOptions o;
    o.ConfigFile = kUntouched;
    o.LogFile = kUntouched;
    return o;
}

SetupOptions Expected(const std::vector<std::wstring>& args) {
    SetupOptions o = Untouched();
    for (size_t i = 1; i < args.size(); ++i) {
        const std::wstring& a = args[i];
        if (IsFlag(a, L"silent")) {
            o.Silent = true;
        } else if (IsFlag(a, L"suppressmsgboxes")) {
            o.SuppressMessageBoxes = true;
        } else if (IsFlag(a, L"check")) {
            o.Check = true;
        } else if (IsFlag(a, L"?") || IsFlag(a, L"help")) {
            o.Help = true;
        } else if (HasValuePrefix(a, L"config:")) {
            o.ConfigFile = Unquoted(a.substr(8));
        } else if (HasValuePrefix(a, L"log:")) {
            o.LogFile = Unquoted(a.substr(5));
        }
    }
    return o;
}

void Check(const std::vector<std::wstring>& args, const SetupOptions& got, const char* how) {
    const SetupOptions expected = Expected(args);
    FUZZ_CHECK(got.Silent == expected.Silent, "%s: silent %d, expected %d", how, got.Silent,
               expected.Silent);
    FUZZ_CHECK(got.SuppressMessageBoxes == expected.SuppressMessageBoxes,
               "%s: suppressmsgboxes %d, expected %d", how, got.SuppressMessageBoxes,
               expected.SuppressMessageBoxes);
    FUZZ_CHECK(got.Check == expected.Check, "%s: check %d, expected %d", how, got.Check,
               expected.Check);
    FUZZ_CHECK(got.Help == expected.Help, "%s: help %d, expected %d", how, got.Help, expected.Help);
    FUZZ_CHECK(got.ConfigFile == expected.ConfigFile, "%s: config %s, expected %s", how,
               fuzz::Show(got.ConfigFile).c_str(), fuzz::Show(expected.ConfigFile).c_str());
    FUZZ_CHECK(got.LogFile == expected.LogFile, "%s: log %s, expected %s", how,
               fuzz::Show(got.LogFile).c_str(), fuzz::Show(expected.LogFile).c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const std::vector<uint8_t> bytes = input.Rest();
    const std::wstring units = base::FromUtf16LE(bytes.data(), bytes.size());

    // The process's command line through the Shell port.
    {
        sim::Machine machine;
        machine.shell().SetCommandLine(units);
        SetupOptions options = Untouched();
        const bool split = ReadCommandLine(machine.platform().shell, &options);
        std::vector<std::wstring> args;
        FUZZ_CHECK(split == machine.platform().shell.CommandLineToArgv(units, &args),
                   "splitting is not repeatable");
        if (!split) {
            args.clear();  // nothing may be set
        }
        Check(args, options, "command line");
    }

    // Any argument vector, line breaks separating the arguments.
    {
        std::vector<std::wstring> args(1);
        for (wchar_t c : units) {
            if (c == L'\n')
                args.emplace_back();
            else
                args.back() += c;
        }
        SetupOptions options = Untouched();
        ParseArguments(args, &options);
        Check(args, options, "argument vector");
    }
    return 0;
}
