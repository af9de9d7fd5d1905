#include "Setup/flow/SetupOptions.h"

#include "base/Text.h"

namespace {

// A whole-argument option: "-NAME" or "/NAME", ignoring case.
bool IsFlagOption(const std::wstring& arg, const wchar_t* name) {
    return arg.size() > 1 && (arg[0] == L'-' || arg[0] == L'/') &&
           base::EqualsNoCase(arg.substr(1), name);
}

// An option with a value: "-NAME:" or "/NAME:" (ignoring case) and the rest. |prefix| is
// the name with its colon.
bool IsValueOption(const std::wstring& arg, const wchar_t* prefix) {
    const std::wstring name(prefix);
    return arg.size() >= 1 + name.size() && (arg[0] == L'-' || arg[0] == L'/') &&
           base::StartsWithNoCase(arg.substr(1), name);
}

// Removes the leading run of double quotes (when there is one), then the trailing run.
std::wstring StripQuotes(std::wstring text) {
    if (!text.empty() && text.front() == L'"') {
        text.erase(0, text.find_first_not_of(L'"') == std::wstring::npos
                          ? text.size()
                          : text.find_first_not_of(L'"'));
    }
    const size_t last = text.find_last_not_of(L'"');
    text.erase(last == std::wstring::npos ? 0 : last + 1);
    return text;
}

// The value of an option whose prefix |prefix| ("NAME:") was matched.
std::wstring OptionValue(const std::wstring& arg, const wchar_t* prefix) {
    return StripQuotes(arg.substr(1 + std::wstring(prefix).size()));
}

}  // namespace

void ParseArguments(const std::vector<std::wstring>& args, SetupOptions* options) {
    for (size_t i = 1; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        if (IsFlagOption(arg, L"silent")) {
            options->Silent = true;
        } else if (IsFlagOption(arg, L"suppressmsgboxes")) {
            options->SuppressMessageBoxes = true;
        } else if (IsFlagOption(arg, L"check")) {
            options->Check = true;
        } else if (IsFlagOption(arg, L"?") || IsFlagOption(arg, L"help")) {
            options->Help = true;
        } else if (IsValueOption(arg, L"config:")) {
            options->ConfigFile = OptionValue(arg, L"config:");
        } else if (IsValueOption(arg, L"log:")) {
            options->LogFile = OptionValue(arg, L"log:");
        }
    }
}

bool ReadCommandLine(platform::Shell& shell, SetupOptions* options) {
    std::vector<std::wstring> args;
    if (!shell.CommandLineToArgv(shell.GetCommandLine(), &args)) {
        return false;
    }
    ParseArguments(args, options);
    return true;
}
