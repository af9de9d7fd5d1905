#include "Sweep.h"

#include <chrono>

#include "Setup/flow/ExitCodes.h"
#include "Setup/flow/SetupApp.h"
#include "Setup/flow/SetupProcess.h"
#include "Setup/res/resource.h"
#include "UiTestMachine.h"
#include "base/Text.h"

namespace sweep {

namespace {

constexpr wchar_t kLog[] = L"C:\\Logs\\setup.log";
constexpr wchar_t kService[] = L"SYSTEM\\CurrentControlSet\\Services\\cvflt";
constexpr wchar_t kDiskClass[] =
    L"SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E967-E325-11CE-BFC1-08002BE10318}";
constexpr wchar_t kVolumeClass[] =
    L"SYSTEM\\CurrentControlSet\\Control\\Class\\{71A27CDD-812A-11D0-BEC7-08002BE2092F}";
constexpr wchar_t kDriverTarget[] = L"C:\\Windows\\system32\\drivers\\cvflt.sys";
constexpr wchar_t kInstallDir[] = L"C:\\Program Files\\Corvane";

std::vector<uint8_t> Text(const std::wstring& text) {
    return base::ToUtf16LE(text + std::wstring(1, L'\0'));
}

std::vector<uint8_t> List(const std::vector<std::wstring>& entries) {
    std::wstring units;
    for (const std::wstring& entry : entries) {
        units += entry + std::wstring(1, L'\0');
    }
    units += std::wstring(1, L'\0');
    return base::ToUtf16LE(units);
}

std::vector<uint8_t> Dword(uint32_t n) {
    return {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n >> 16),
            static_cast<uint8_t>(n >> 24)};
}

// A filter list as the system reads it, whatever the value's type: the entries up to the
// first empty one.
std::vector<std::wstring> Entries(sim::Machine& m, const wchar_t* key, const wchar_t* value) {
    std::vector<std::wstring> entries;
    const auto raw = m.registry().GetRaw(platform::Hive::LocalMachine, key, value);
    if (!raw) {
        return entries;
    }
    const std::wstring units = base::FromUtf16LE(raw->bytes.data(), raw->bytes.size());
    size_t start = 0;
    while (start < units.size()) {
        size_t end = units.find(L'\0', start);
        if (end == std::wstring::npos) {
            end = units.size();
        }
        if (end == start) {
            break;
        }
        entries.push_back(units.substr(start, end - start));
        start = end + 1;
    }
    return entries;
}

bool NamesDriver(const std::vector<std::wstring>& entries) {
    for (const std::wstring& entry : entries) {
        if (base::EqualsNoCase(entry, L"cvflt")) {
            return true;
        }
    }
    return false;
}

std::vector<std::wstring> Foreign(const std::vector<std::wstring>& entries) {
    std::vector<std::wstring> foreign;
    for (const std::wstring& entry : entries) {
        if (!base::EqualsNoCase(entry, L"cvflt")) {
            foreign.push_back(entry);
        }
    }
    return foreign;
}

std::string Joined(const std::vector<std::wstring>& entries) {
    std::string out = "(";
    for (size_t i = 0; i < entries.size(); ++i) {
        out += (i ? ", " : "") + base::ToUtf8(entries[i]);
    }
    return out + ")";
}

void WriteService(sim::Machine& m) {
    auto& reg = m.registry();
    const platform::Hive hklm = platform::Hive::LocalMachine;
    reg.SetRaw(hklm, kService, L"ImagePath", win::kRegSz, Text(L"SYSTEM32\\drivers\\cvflt.sys"));
    reg.SetRaw(hklm, kService, L"Group", win::kRegSz, Text(L"System Bus Extender"));
    reg.SetRaw(hklm, kService, L"Control", win::kRegDword, Dword(0x10000041));
    reg.SetRaw(hklm, kService, L"ErrorControl", win::kRegDword, Dword(1));
    reg.SetRaw(hklm, kService, L"Start", win::kRegDword, Dword(0));
    reg.SetRaw(hklm, kService, L"Type", win::kRegDword, Dword(1));
    reg.SetRaw(hklm, kService, L"GUID", win::kRegSz,
               Text(L"{20000002-1111-4222-8333-444455556666}"));
}

// An earlier installation: its files (Keeper.exe running), its settings, its driver, and
// filter lists that name it among other products' filters, one of them stored as REG_SZ.
void AddEarlierInstallation(sim::Machine& m) {
    const wchar_t* names[] = {L"Corvane.exe", L"CorvaneWarden.exe", L"Persist.exe", L"Console.exe",
                              L"Keeper.exe",  L"MenuExt.dll",       L"lang.ini",    L"Console.txt",
                              L"Guide.chm",   L"terms.rtf",         L"Remove.exe"};
    for (const wchar_t* name : names) {
        m.files().AddFile(std::wstring(kInstallDir) + L"\\" + name, base::ToUtf8(name) + " old");
    }
    m.files().AddFile(std::wstring(kInstallDir) + L"\\prefs.dat",
                      "[common]\r\nhash=00112233445566778899aabbccddeeff\r\nRAM=256\r\n");
    m.files().SetInUse(std::wstring(kInstallDir) + L"\\Keeper.exe");
    m.files().AddFile(kDriverTarget, "cvflt.sys old");
    WriteService(m);
    m.registry().SetRaw(platform::Hive::LocalMachine, L"SOFTWARE\\Corvane", L"Path", win::kRegSz,
                        Text(kInstallDir));
    m.registry().SetRaw(platform::Hive::LocalMachine, kDiskClass, L"UpperFilters", win::kRegSz,
                        List({L"PartMgr", L"cvflt", L"EhStorClass"}));
    m.registry().SetRaw(platform::Hive::LocalMachine, kVolumeClass, L"LowerFilters",
                        win::kRegMultiSz, List({L"fvevol", L"cvflt", L"iorate", L"rdyboost"}));
}

}  // namespace

bool KeeperWholeOrPending(sim::Machine& m) {
    const std::wstring keeper = std::wstring(kInstallDir) + L"\\Keeper.exe";
    const auto now = m.files().ReadText(keeper);
    if (now && (*now == "Keeper.exe old" || *now == "Keeper.exe new")) {
        return true;
    }
    const auto incoming = m.files().ReadText(keeper + L".new");
    if (!incoming || *incoming != "Keeper.exe new") {
        return false;
    }
    for (const sim::PendingRename& p : m.files().PendingRenames()) {
        if (base::EqualsNoCase(p.source, keeper + L".new") &&
            base::EqualsNoCase(p.destination, keeper) && p.replaceExisting) {
            return true;
        }
    }
    return false;
}

uint64_t FindCall(const Reference& reference, const wchar_t* op, const std::wstring& subject) {
    for (const faults::Call& call : reference.calls) {
        if (call.op == op && base::EqualsNoCase(call.subject, subject)) {
            return call.number;
        }
    }
    return 0;
}

const char* ModeName(Mode mode) {
    switch (mode) {
        case Mode::Silent:
            return "silent";
        case Mode::Wizard:
            return "wizard";
        case Mode::Upgrade:
            return "upgrade";
    }
    return "?";
}

std::unique_ptr<sim::Machine> MakeMachine(Mode mode) {
    auto m = uitest::MakeMachine(win::kLangEnglishUs, std::chrono::milliseconds(5000));
    enginetest::AddProductFiles(*m);
    m->files().MakeFolders(L"C:\\Logs");
    // Other software's files and values, which no run may touch.
    m->files().AddFile(L"C:\\Program Files\\Other\\other.exe", "other program");
    m->registry().SetRaw(platform::Hive::LocalMachine, L"SOFTWARE\\Other", L"Setting",
                         win::kRegDword, Dword(7));
    const std::wstring log = std::wstring(L" -log:") + kLog;
    switch (mode) {
        case Mode::Silent:
            m->shell().SetCommandLine(
                L"Setup.exe -silent -suppressmsgboxes -config:C:\\Setup\\setup.ini" + log);
            m->volumes().AddFixedVolume(L'D', 1ll << 30, 1ull << 29);
            m->files().AddFile(L"C:\\Setup\\setup.ini",
                               "[common]\r\ndesktopicon=1\r\nstartupmenushortcut=1\r\n"
                               "password=secret\r\nRAM=512\r\nveil=D\r\n");
            m->registry().SetRaw(platform::Hive::LocalMachine, kVolumeClass, L"LowerFilters",
                                 win::kRegMultiSz, List({L"fvevol", L"iorate"}));
            break;
        case Mode::Wizard: {
            m->shell().SetCommandLine(L"Setup.exe" + log);
            auto& user = m->ui().User();
            user.OnPage(IDD_WELCOME, [](sim::PageDriver& p) { p.Click(IDC_NEXT); });
            user.OnPage(IDD_LICENSE, [](sim::PageDriver& p) {
                p.Click(IDC_ACCEPT);
                p.Click(IDC_NEXT);
            });
            user.OnPage(IDD_USERINFO, [](sim::PageDriver& p) {
                p.Type(IDC_USERNAME, L"Ann Example");
                p.Click(IDC_NEXT);
            });
            user.OnPage(IDD_STARTMENUFOLDER, [](sim::PageDriver& p) { p.Click(IDC_NEXT); });
            user.OnPage(IDD_ADDITIONALTASK, [](sim::PageDriver& p) { p.Click(IDC_NEXT); });
            user.OnPage(IDD_READY, [](sim::PageDriver& p) { p.Click(IDC_NEXT); });
            user.OnPage(IDD_FINISH, [](sim::PageDriver& p) {
                p.Click(IDC_RESTART_NO);
                p.Click(IDC_NEXT);
            });
            break;
        }
        case Mode::Upgrade:
            m->shell().SetCommandLine(L"Setup.exe -silent -suppressmsgboxes" + log);
            AddEarlierInstallation(*m);
            break;
    }
    return m;
}

Outcome Run(Mode mode, faults::Way way, uint64_t k, bool record) {
    Outcome outcome;
    outcome.machine = MakeMachine(mode);
    faults::FaultPlan plan(way, k, kLog);
    plan.Record(record);
    {
        faults::FaultPlatform ports(outcome.machine->platform(), plan);
        InstallerSettings settings;
        SetupProcess process = StartSetupProcess(ports.platform());
        outcome.exitCode = RunSetup(ports.platform(), settings, process);
        // The worker has posted its last message; let it return before its ports go.
        outcome.machine->system().JoinAllThreads();
    }
    outcome.calls = plan.Calls();
    outcome.disturbed = plan.Disturbed();
    outcome.hung = plan.Hung();
    outcome.recorded = plan.Recorded();
    return outcome;
}

Reference Undisturbed(Mode mode) {
    Reference reference;
    reference.mode = mode;
    auto before = MakeMachine(mode);
    reference.before = enginetest::Snapshot(*before);
    Outcome outcome = Run(mode, faults::Way::None, 0, true);
    reference.after = enginetest::Snapshot(*outcome.machine);
    reference.exitCode = outcome.exitCode;
    reference.calls = outcome.recorded;
    reference.foreignUpper = Foreign(Entries(*before, kDiskClass, L"UpperFilters"));
    reference.foreignLower = Foreign(Entries(*before, kVolumeClass, L"LowerFilters"));
    return reference;
}

std::vector<std::string> Check(const Reference& reference, faults::Way way, Outcome& outcome) {
    std::vector<std::string> violations;
    sim::Machine& m = *outcome.machine;
    const platform::Hive hklm = platform::Hive::LocalMachine;
    auto violation = [&](const std::string& what) {
        const faults::Call& c = outcome.disturbed;
        violations.push_back(
            std::string(ModeName(reference.mode)) + (way == faults::Way::Fail ? " fail" : " stop") +
            " k=" + std::to_string(c.number) + " (" + base::ToUtf8(c.op) + " " +
            base::ToUtf8(c.subject) +
            (way == faults::Way::Fail ? " error " + std::to_string(c.error) : "") + "): " + what);
    };
    if (outcome.hung) {
        violation("the run did not end: it slept past the bound of the simulated clock");
    }
    const auto driverFile = m.files().ReadText(kDriverTarget);
    const bool driverNew = driverFile && *driverFile == "cvflt.sys new";
    const bool driverOld = driverFile && *driverFile == "cvflt.sys old";

    // Boot safety.
    const auto upper = Entries(m, kDiskClass, L"UpperFilters");
    const auto lower = Entries(m, kVolumeClass, L"LowerFilters");
    if (NamesDriver(upper) || NamesDriver(lower)) {
        struct Expected {
            const wchar_t* name;
            uint32_t type;
            std::vector<uint8_t> data;
        };
        const auto control = m.registry().GetRaw(hklm, kService, L"Control");
        const Expected values[] = {
            {L"ImagePath", win::kRegSz, Text(L"SYSTEM32\\drivers\\cvflt.sys")},
            {L"Group", win::kRegSz, Text(L"System Bus Extender")},
            {L"Control", win::kRegDword,
             control && control->bytes.size() == 4 ? control->bytes : Dword(0x10000041)},
            {L"ErrorControl", win::kRegDword, Dword(1)},
            {L"Start", win::kRegDword, Dword(0)},
            {L"Type", win::kRegDword, Dword(1)}};
        for (const Expected& v : values) {
            const auto raw = m.registry().GetRaw(hklm, kService, v.name);
            if (!raw || raw->type != v.type || raw->bytes != v.data) {
                violation("boot: a filter list names cvflt but the service value " +
                          base::ToUtf8(v.name) + " is " + (raw ? "wrong" : "missing"));
            }
        }
        if (!driverNew && !(reference.mode == Mode::Upgrade && driverOld)) {
            violation("boot: a filter list names cvflt but the driver file " +
                      (driverFile ? "holds \"" + *driverFile + "\"" : std::string("is missing")));
        }
    }

    // Nothing foreign lost: other filters, once and in order; everything the undisturbed
    // run leaves alone is unchanged.
    if (Foreign(upper) != reference.foreignUpper) {
        violation("foreign: UpperFilters " + Joined(upper) + ", other filters were " +
                  Joined(reference.foreignUpper));
    }
    if (Foreign(lower) != reference.foreignLower) {
        violation("foreign: LowerFilters " + Joined(lower) + ", other filters were " +
                  Joined(reference.foreignLower));
    }
    const enginetest::State after = enginetest::Snapshot(m);
    for (const auto& entry : reference.before) {
        const auto clean = reference.after.find(entry.first);
        if (clean == reference.after.end() || clean->second != entry.second) {
            continue;  // the installation's own
        }
        const auto now = after.find(entry.first);
        if (now == after.end()) {
            violation("foreign: removed " + base::ToUtf8(entry.first));
        } else if (now->second != entry.second) {
            violation("foreign: changed " + base::ToUtf8(entry.first) + " to " +
                      base::ToUtf8(now->second));
        }
    }
    if (reference.mode == Mode::Upgrade && !KeeperWholeOrPending(m)) {
        const auto keeper = m.files().ReadText(std::wstring(kInstallDir) + L"\\Keeper.exe");
        violation("replace-in-use half done: Keeper.exe " +
                  (keeper ? "holds \"" + *keeper + "\"" : std::string("is missing")) +
                  " and no whole new copy is waiting to be moved there at the restart");
    }

    // An honest outcome.
    if (way != faults::Way::Fail) {
        return violations;
    }
    const faults::Call& c = outcome.disturbed;
    const bool installed =
        outcome.exitCode == kExitRestartRequired || outcome.exitCode == kExitRestartStarted;
    if (installed && !driverNew) {
        violation("outcome: exit code " + std::to_string(outcome.exitCode) +
                  " reports an installation, but the driver file " +
                  (driverFile ? "holds \"" + *driverFile + "\"" : std::string("is missing")));
    }
    // The driver's copy: to its new name beside the old file, then the rename over it.
    const std::wstring incoming = std::wstring(kDriverTarget) + L".new";
    const bool driverCopy = (c.op == L"CopyFile" && (base::EqualsNoCase(c.subject, kDriverTarget) ||
                                                     base::EqualsNoCase(c.subject, incoming))) ||
                            (c.op == L"MoveFileEx" && base::EqualsNoCase(c.subject, incoming));
    if (driverCopy && outcome.exitCode != kExitFailed) {
        violation("outcome: the driver's copy failed, yet the exit code is " +
                  std::to_string(outcome.exitCode));
    }
    if (c.changes && !driverCopy && outcome.exitCode != reference.exitCode) {
        violation("outcome: a failure the installation goes on from ended with " +
                  std::to_string(outcome.exitCode) + " instead of " +
                  std::to_string(reference.exitCode));
    }
    if (c.changes && !c.logOwn && installed) {
        const std::string log = m.files().ReadText(kLog).value_or(std::string());
        const std::string error = "error " + std::to_string(c.error);
        const std::string hresult = base::ToUtf8(base::Format(L"0x%08x", c.error));
        bool named = false;
        size_t start = 0;
        while (!named && start < log.size()) {
            size_t end = log.find("\r\n", start);
            if (end == std::string::npos) {
                end = log.size();
            }
            const std::string line = log.substr(start, end - start);
            // A folder that is there already is what the program wants, and so logged.
            const bool result =
                line.find(error) != std::string::npos || line.find(hresult) != std::string::npos ||
                (c.op == L"CreateDirectory" && line.find("exists already") != std::string::npos);
            named = result &&
                    (c.subject.empty() || line.find(base::ToUtf8(c.subject)) != std::string::npos ||
                     line.find("\"" + base::ToUtf8(c.subject) + "\"") != std::string::npos);
            start = end + 2;
        }
        if (!named) {
            violation("outcome: the install log does not name the failed " + base::ToUtf8(c.op) +
                      " with its " + error);
        }
    }
    return violations;
}

Summary SweepMode(Mode mode, uint64_t stride, uint64_t first) {
    Summary summary;
    summary.mode = mode;
    const Reference reference = Undisturbed(mode);
    summary.n = reference.calls.size();
    for (uint64_t k = first; k <= summary.n; k += stride) {
        for (faults::Way way : {faults::Way::Fail, faults::Way::Stop}) {
            Outcome outcome = Run(mode, way, k);
            ++summary.runs;
            for (std::string& v : Check(reference, way, outcome)) {
                summary.violations.push_back(std::move(v));
            }
        }
    }
    return summary;
}

}  // namespace sweep
