#include "sim/SimShell.h"

#include <cstdlib>

#include "SimSysFileAccess.h"
#include "base/Text.h"
#include "sim/Machine.h"

namespace sim {

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

constexpr int kCsidlMask = 0x00FF;  // the folder id; the bits above are CSIDL_FLAG_*
const char kLinkMagic[] = "[SimShellLink]";
const wchar_t kQuickLaunch[] =
    L"C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch";

// The saved form of a link: UTF-8 lines "Name=value" with '%', CR and LF escaped.
std::string EscapeField(const std::wstring& value) {
    std::wstring escaped;
    for (wchar_t c : value) {
        if (c == L'%') {
            escaped += L"%25";
        } else if (c == L'\n') {
            escaped += L"%0A";
        } else if (c == L'\r') {
            escaped += L"%0D";
        } else {
            escaped += c;
        }
    }
    return base::ToUtf8(escaped);
}

std::wstring UnescapeField(const std::string& text) {
    std::wstring value = base::FromUtf8(text);
    std::wstring out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == L'%' && i + 2 < value.size()) {
            std::wstring code = value.substr(i + 1, 2);
            if (code == L"25" || code == L"0A" || code == L"0D") {
                out += code == L"25" ? L'%' : (code == L"0A" ? L'\n' : L'\r');
                i += 2;
                continue;
            }
        }
        out += value[i];
    }
    return out;
}

std::string FormatLink(const SimShell::SavedLink& link) {
    std::string text = kLinkMagic;
    text += "\r\nTarget=" + EscapeField(link.target);
    text += "\r\nWorkingDirectory=" + EscapeField(link.workingDirectory);
    text += "\r\nArguments=" + EscapeField(link.arguments);
    text += "\r\nShowCmd=" + std::to_string(link.showCmd) + "\r\n";
    return text;
}

bool ParseLink(const std::string& text, ShellLinkInfo* info) {
    ShellLinkInfo parsed;
    size_t pos = 0;
    bool first = true;
    bool sawShowCmd = false;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (first) {
            if (line != kLinkMagic) {
                return false;
            }
            first = false;
            continue;
        }
        size_t equals = line.find('=');
        if (equals == std::string::npos) {
            continue;
        }
        std::string name = line.substr(0, equals);
        std::string value = line.substr(equals + 1);
        if (name == "Target") {
            parsed.target = UnescapeField(value);
        } else if (name == "WorkingDirectory") {
            parsed.workingDirectory = UnescapeField(value);
        } else if (name == "Arguments") {
            parsed.arguments = UnescapeField(value);
        } else if (name == "ShowCmd") {
            char* endOfNumber = nullptr;
            long number = std::strtol(value.c_str(), &endOfNumber, 10);
            if (value.empty() || *endOfNumber != '\0') {
                return false;
            }
            parsed.showCmd = static_cast<int>(number);
            sawShowCmd = true;
        }
    }
    if (first || !sawShowCmd) {
        return false;
    }
    *info = parsed;
    return true;
}

// The IShellLinkW object handed to the program.
class SimShellLinkObject : public ShellLink {
public:
    explicit SimShellLinkObject(SimShell& shell) : shell_(shell) {}

    int32_t SetPath(const std::wstring& target) override {
        link_.target = target;
        return win::kSOk;
    }
    int32_t SetWorkingDirectory(const std::wstring& folder) override {
        link_.workingDirectory = folder;
        return win::kSOk;
    }
    int32_t SetShowCmd(int showCmd) override {
        link_.showCmd = showCmd;
        return win::kSOk;
    }
    int32_t SetArguments(const std::wstring& arguments) override {
        link_.arguments = arguments;
        return win::kSOk;
    }
    int32_t Save(const std::wstring& linkPath, bool remember) override {
        (void)remember;
        SimShell::SavedLink link = link_;
        link.linkPath = linkPath;
        return shell_.SaveLink(link);
    }

private:
    SimShell& shell_;
    SimShell::SavedLink link_;
};

}  // namespace

SimShell::SimShell(Machine& machine) : machine_(machine) {
    folders_ = {
        {win::kCsidlProgramFiles, L"C:\\Program Files"},
        {win::kCsidlCommonPrograms, L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs"},
        {win::kCsidlPrograms,
         L"C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs"},
        {win::kCsidlStartMenu,
         L"C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu"},
        {win::kCsidlCommonStartMenu, L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu"},
        {win::kCsidlDesktopDirectory, L"C:\\Users\\User\\Desktop"},
        {win::kCsidlCommonDesktopDirectory, L"C:\\Users\\Public\\Desktop"},
        {win::kCsidlAppData, L"C:\\Users\\User\\AppData\\Roaming"},
        {win::kCsidlCommonAppData, L"C:\\ProgramData"},
        {win::kCsidlLocalAppData, L"C:\\Users\\User\\AppData\\Local"},
        {win::kCsidlPersonal, L"C:\\Users\\User\\Documents"},
    };
}

void SimShell::InstallDefaults() {
    Guard guard(machine_.Lock());
    std::vector<std::wstring> paths = {kQuickLaunch};
    for (int csidl : {win::kCsidlWindows, win::kCsidlSystem}) {
        std::wstring path;
        if (LookupFolder(csidl, &path)) {
            paths.push_back(path);
        }
    }
    for (const auto& folder : folders_) {
        paths.push_back(folder.second);
    }
    for (const auto& path : paths) {
        uint32_t error = 0;
        sysfiles::MakeFolders(machine_, path, &error);
    }
}

// --- Set-up ---

void SimShell::SetSpecialFolder(int csidl, const std::wstring& path) {
    Guard guard(machine_.Lock());
    folders_[csidl & kCsidlMask] = path;
    removedFolders_.erase(csidl & kCsidlMask);
}

void SimShell::RemoveSpecialFolder(int csidl) {
    Guard guard(machine_.Lock());
    folders_.erase(csidl & kCsidlMask);
    removedFolders_.insert(csidl & kCsidlMask);
}

void SimShell::FailFolder(int csidl, int32_t hr) {
    Guard guard(machine_.Lock());
    if (hr == 0) {
        folderFailures_.erase(csidl & kCsidlMask);
    } else {
        folderFailures_[csidl & kCsidlMask] = hr;
    }
}

void SimShell::FailLinkCreation(int32_t hr) {
    Guard guard(machine_.Lock());
    linkCreationFailure_ = hr;
}

void SimShell::FailLinkSave(int32_t hr) {
    Guard guard(machine_.Lock());
    linkSaveFailure_ = hr;
}

void SimShell::SetCommandLine(const std::wstring& commandLine) {
    Guard guard(machine_.Lock());
    commandLine_ = commandLine;
    commandLineSet_ = true;
}

void SimShell::FailCommandLineSplit() {
    Guard guard(machine_.Lock());
    failNextSplit_ = true;
}

// --- Inspection ---

std::wstring SimShell::SpecialFolder(int csidl) {
    Guard guard(machine_.Lock());
    std::wstring path;
    LookupFolder(csidl & kCsidlMask, &path);
    return path;
}

std::wstring SimShell::QuickLaunchFolder() {
    return kQuickLaunch;
}

std::vector<SimShell::SavedLink> SimShell::SavedLinks() {
    Guard guard(machine_.Lock());
    return savedLinks_;
}

std::vector<SimShell::Notification> SimShell::Notifications() {
    Guard guard(machine_.Lock());
    return notifications_;
}

// --- The port ---

bool SimShell::LookupFolder(int csidl, std::wstring* path) {
    if (removedFolders_.count(csidl) != 0) {
        return false;
    }
    auto it = folders_.find(csidl);
    if (it != folders_.end()) {
        *path = it->second;
        return true;
    }
    if (csidl == win::kCsidlWindows) {
        *path = machine_.system().WindowsFolder();
        return true;
    }
    if (csidl == win::kCsidlSystem) {
        *path = machine_.system().SystemFolder();
        return true;
    }
    return false;
}

bool SimShell::GetSpecialFolderPath(int csidl, bool create, std::wstring* path) {
    // SHGetSpecialFolderPathW is SHGetFolderPathW underneath; it leaves the last-error
    // value alone.
    return GetFolderPath(csidl | (create ? win::kCsidlFlagCreate : 0), path) == win::kSOk;
}

int32_t SimShell::GetFolderPath(int csidlAndFlags, std::wstring* path) {
    Guard guard(machine_.Lock());
    int csidl = csidlAndFlags & kCsidlMask;
    path->clear();
    auto failure = folderFailures_.find(csidl);
    if (failure != folderFailures_.end()) {
        return failure->second;
    }
    std::wstring folder;
    if (!LookupFolder(csidl, &folder)) {
        return win::kEInvalidArg;
    }
    // A known folder's path is reported even when the folder is missing (as Windows
    // and Wine do); the result tells whether it exists.
    *path = folder;
    if (sysfiles::IsFolder(machine_, folder)) {
        return win::kSOk;
    }
    if ((csidlAndFlags & win::kCsidlFlagCreate) == 0) {
        return HresultFromWin32(win::kErrorFileNotFound);
    }
    uint32_t error = 0;
    if (!sysfiles::MakeFolders(machine_, folder, &error)) {
        return HresultFromWin32(error != 0 ? error : win::kErrorPathNotFound);
    }
    return win::kSOk;
}

int32_t SimShell::CreateShellLink(std::unique_ptr<ShellLink>* link) {
    Guard guard(machine_.Lock());
    link->reset();
    if (!machine_.system().ComUsableOnThisThread()) {
        return kCoENotInitialized;
    }
    if (linkCreationFailure_ != 0) {
        return linkCreationFailure_;
    }
    *link = std::make_unique<SimShellLinkObject>(*this);
    return win::kSOk;
}

int32_t SimShell::SaveLink(const SavedLink& link) {
    Guard guard(machine_.Lock());
    if (linkSaveFailure_ != 0) {
        return linkSaveFailure_;
    }
    std::wstring parent = sysfiles::ParentFolder(link.linkPath);
    if (link.linkPath.empty() || parent.empty() || !sysfiles::IsFolder(machine_, parent)) {
        return HresultFromWin32(win::kErrorPathNotFound);
    }
    if (sysfiles::IsFolder(machine_, link.linkPath)) {
        return win::kEAccessDenied;
    }
    uint32_t error = 0;
    if (!sysfiles::WriteWholeFile(machine_, link.linkPath, FormatLink(link), &error)) {
        return HresultFromWin32(error != 0 ? error : win::kErrorAccessDenied);
    }
    savedLinks_.push_back(link);
    return win::kSOk;
}

bool SimShell::ReadShellLink(const std::wstring& linkPath, ShellLinkInfo* info) {
    Guard guard(machine_.Lock());
    std::string bytes;
    if (!sysfiles::ReadWholeFile(machine_, linkPath, &bytes)) {
        return false;
    }
    return ParseLink(bytes, info);
}

void SimShell::ChangeNotify(int32_t eventId, uint32_t flags) {
    Guard guard(machine_.Lock());
    notifications_.push_back({eventId, flags});
}

std::wstring SimShell::GetCommandLine() {
    Guard guard(machine_.Lock());
    if (commandLineSet_) {
        return commandLine_;
    }
    return L"\"" + sysfiles::ModulePath(machine_) + L"\"";
}

bool SimShell::CommandLineToArgv(const std::wstring& commandLine, std::vector<std::wstring>* args) {
    Guard guard(machine_.Lock());
    args->clear();
    if (failNextSplit_) {
        failNextSplit_ = false;
        machine_.SetLastError(win::kErrorNotEnoughMemory);
        return false;
    }
    // The function sees a C string: it ends at the first null character.
    std::wstring text = commandLine.substr(0, commandLine.find(L'\0'));
    if (text.empty()) {
        // An empty command line gives the running program's path.
        std::wstring module = sysfiles::ModulePath(machine_);
        if (module.empty()) {
            machine_.SetLastError(win::kErrorFileNotFound);
            return false;
        }
        args->push_back(module);
        return true;
    }
    *args = SplitCommandLine(text);
    return true;
}

// CommandLineToArgvW's rules, as Windows applies them:
//
// - argv[0], the program, is special: when the line starts with a quote it runs to the
//   next quote (or the end), whatever follows that quote; otherwise it runs to the first
//   space or tab. Backslashes and quotes have no special meaning in it. A line starting
//   with a blank gives an empty argv[0].
// - The remaining arguments are separated by runs of spaces and tabs outside quotes.
//   2n backslashes followed by a quote give n backslashes and the quote starts or ends
//   quoting; 2n+1 backslashes followed by a quote give n backslashes and a literal quote;
//   backslashes not followed by a quote are literal.
// - Runs of quotes are counted together with the quoting state (0 outside, 1 inside):
//   every third quote of the count gives a literal quote and leaves quoting, and a count
//   that ends at 2 also leaves quoting. So outside quotes """ gives a literal quote; inside
//   quotes "" gives a literal quote and ends the quoted part. The C runtime from Visual
//   C++ 2008 on (and the "Parsing C++ command-line arguments" article) stays inside the
//   quotes after "", but CommandLineToArgvW keeps the older behaviour. Wine's shell32
//   follows the same counting rule as Windows; Wine releases from before it learnt the
//   argv[0] rule split the program's path like any other argument.
// - An unterminated quoted part runs to the end of the line. Blanks at the end of the
//   line do not make an empty last argument; "" does.
std::vector<std::wstring> SimShell::SplitCommandLine(const std::wstring& line) {
    std::vector<std::wstring> args;
    const size_t n = line.size();
    size_t i = 0;
    auto isBlank = [](wchar_t c) { return c == L' ' || c == L'\t'; };

    std::wstring program;
    if (n > 0 && line[0] == L'"') {
        for (i = 1; i < n && line[i] != L'"'; ++i) {
            program += line[i];
        }
        if (i < n) {
            ++i;  // the closing quote
        }
    } else {
        for (; i < n && !isBlank(line[i]); ++i) {
            program += line[i];
        }
    }
    args.push_back(program);
    while (i < n && isBlank(line[i])) {
        ++i;
    }
    if (i >= n) {
        return args;
    }

    std::wstring current;
    int quotes = 0;      // 0 outside quotes, 1 inside
    size_t slashes = 0;  // backslashes just before the current character
    bool inArgument = true;
    while (i < n) {
        wchar_t c = line[i];
        if (isBlank(c) && quotes == 0) {
            args.push_back(current);
            current.clear();
            slashes = 0;
            while (i < n && isBlank(line[i])) {
                ++i;
            }
            inArgument = i < n;
            continue;
        }
        if (c == L'\\') {
            current += c;
            ++slashes;
            ++i;
            continue;
        }
        if (c == L'"') {
            if (slashes % 2 == 0) {
                current.erase(current.size() - slashes / 2);
                ++quotes;
            } else {
                current.erase(current.size() - slashes / 2 - 1);
                current += L'"';
            }
            slashes = 0;
            ++i;
            for (; i < n && line[i] == L'"'; ++i) {
                if (++quotes == 3) {
                    current += L'"';
                    quotes = 0;
                }
            }
            if (quotes == 2) {
                quotes = 0;
            }
            continue;
        }
        current += c;
        slashes = 0;
        ++i;
    }
    if (inArgument) {
        args.push_back(current);
    }
    return args;
}

}  // namespace sim
