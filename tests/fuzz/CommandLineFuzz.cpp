// The command line: arbitrary text as the process's command line, split as
// CommandLineToArgvW splits it and read by the program's option rules; and the same units
// cut at line breaks as an argument vector of any shape (empty arguments, nulls inside).
// After each run the options must be what the rules give, worked out here on their own:
// "-silent" or "/silent" as a whole argument (ignoring case) after argument 0, and the last
// "-config:" or "/config:" argument's rest without its leading and trailing runs of quotes.
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

struct Options {
    bool silent = false;
    bool configSeen = false;
    std::wstring config;
};

// The rules, independently of the program. Only ASCII letters occur in the option names,
// and no other character folds onto one of them.
Options Expected(const std::vector<std::wstring>& args) {
    Options o;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::wstring& a = args[i];
        if (SameIgnoringCase(a, L"-silent") || SameIgnoringCase(a, L"/silent")) {
            o.silent = true;
        } else if (a.size() >= 8 && (SameIgnoringCase(a.substr(0, 8), L"-config:") ||
                                     SameIgnoringCase(a.substr(0, 8), L"/config:"))) {
            std::wstring rest = a.substr(8);
            size_t first = 0;
            while (first < rest.size() && rest[first] == L'"')
                ++first;
            rest.erase(0, first);
            while (!rest.empty() && rest.back() == L'"')
                rest.pop_back();
            o.config = rest;
            o.configSeen = true;
        }
    }
    return o;
}

void Check(const std::vector<std::wstring>& args, bool silent, const std::wstring& config,
           const char* how) {
    const Options expected = Expected(args);
    FUZZ_CHECK(silent == expected.silent, "%s: silent %d, expected %d", how, silent,
               expected.silent);
    const std::wstring wanted = expected.configSeen ? expected.config : L"(untouched)";
    FUZZ_CHECK(config == wanted, "%s: config %s, expected %s", how, fuzz::Show(config).c_str(),
               fuzz::Show(wanted).c_str());
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
        bool silent = false;
        std::wstring config = L"(untouched)";
        const bool split = ReadCommandLine(machine.platform().shell, &silent, &config);
        std::vector<std::wstring> args;
        FUZZ_CHECK(split == machine.platform().shell.CommandLineToArgv(units, &args),
                   "splitting is not repeatable");
        Check(args, silent, config, "command line");
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
        bool silent = false;
        std::wstring config = L"(untouched)";
        ParseArguments(args, &silent, &config);
        Check(args, silent, config, "argument vector");
    }
    return 0;
}
