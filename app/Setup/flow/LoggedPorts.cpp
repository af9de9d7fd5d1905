#include "Setup/flow/LoggedPorts.h"

#include <map>
#include <vector>

#include "Setup/flow/LogGivesWay.h"
#include "Setup/flow/LoggedWrites.h"
#include "Setup/protect/ProtectionSettings.h"
#include "base/Text.h"
#include "platform/Forwarding.h"

namespace {

using platform::FileHandle;
using platform::KernelHandle;
using platform::KeyHandle;
using platform::ModuleHandle;
using platform::ProcAddress;
using platform::WindowHandle;

// "ok", or the error of a call that failed (the thread's last-error value right after it).
std::wstring ResultText(bool ok, uint32_t error) {
    if (ok) {
        return L"ok";
    }
    return error != win::kErrorSuccess ? ErrorText(error) : std::wstring(L"failed");
}

const wchar_t* HiveName(platform::Hive hive) {
    switch (hive) {
        case platform::Hive::ClassesRoot:
            return L"HKCR";
        case platform::Hive::CurrentUser:
            return L"HKCU";
        case platform::Hive::LocalMachine:
            return L"HKLM";
        case platform::Hive::Users:
            return L"HKU";
    }
    return L"?";
}

std::wstring KeyText(platform::Hive hive, const std::wstring& subKey) {
    return subKey.empty() ? std::wstring(HiveName(hive))
                          : std::wstring(HiveName(hive)) + L"\\" + subKey;
}

std::wstring ValueNameText(const std::wstring& name) {
    return name.empty() ? std::wstring(L"(default)") : LogQuote(name);
}

std::wstring AttributesText(uint32_t attributes) {
    struct Name {
        uint32_t bit;
        const wchar_t* name;
    };
    static const Name kNames[] = {
        {win::kFileAttributeReadonly, L"read-only"}, {win::kFileAttributeHidden, L"hidden"},
        {win::kFileAttributeSystem, L"system"},      {win::kFileAttributeDirectory, L"folder"},
        {win::kFileAttributeArchive, L"archive"},    {win::kFileAttributeNormal, L"normal"},
    };
    std::wstring names;
    for (const Name& n : kNames) {
        if ((attributes & n.bit) != 0) {
            names += (names.empty() ? L"" : L", ") + std::wstring(n.name);
        }
    }
    return base::Format(L"0x%08x", attributes) + (names.empty() ? L"" : L" (" + names + L")");
}

const wchar_t* DispositionText(uint32_t disposition) {
    switch (disposition) {
        case win::kCreateNew:
            return L"create new";
        case win::kCreateAlways:
            return L"create always";
        case win::kOpenExisting:
            return L"open existing";
        case win::kOpenAlways:
            return L"open always";
        case win::kTruncateExisting:
            return L"truncate existing";
        default:
            return L"?";
    }
}

// Opens that can change a file: write access, or a disposition that creates or empties it.
// Devices themselves (\\.\C:, \\.\VfControl) are the volumes' and the driver's channels,
// not files; a file reached through one (\\.\C:\cvflt0.sys) is a file.
bool IsWritingOpen(const std::wstring& path, uint32_t access, uint32_t disposition) {
    if (path.compare(0, 4, L"\\\\.\\") == 0 && path.find(L'\\', 4) == std::wstring::npos) {
        return false;
    }
    return (access & (win::kGenericWrite | win::kFileWriteData)) != 0 ||
           disposition != win::kOpenExisting;
}

// ---- Files ----

class LoggedFiles final : public platform::ForwardingFiles {
public:
    LoggedFiles(platform::Files& inner, platform::System& system, CInstallLog& log)
        : platform::ForwardingFiles(inner), m_system(system), m_log(log) {}

    bool CopyFile(const std::wstring& source, const std::wstring& destination,
                  bool failIfExists) override {
        const bool ok = m_inner.CopyFile(source, destination, failIfExists);
        Record(ok, L"File", [&] {
            return L"copy " + LogQuote(source) + L" to " + LogQuote(destination) +
                   (failIfExists ? L" (not over an existing file)" : L"");
        });
        return ok;
    }
    bool MoveFile(const std::wstring& source, const std::wstring& destination) override {
        const bool ok = m_inner.MoveFile(source, destination);
        Record(ok, L"File",
               [&] { return L"move " + LogQuote(source) + L" to " + LogQuote(destination); });
        return ok;
    }
    bool MoveFileEx(const std::wstring& source, const std::wstring* destination,
                    uint32_t flags) override {
        const bool ok = m_inner.MoveFileEx(source, destination, flags);
        Record(ok, L"File", [&] {
            const bool atRestart = (flags & win::kMovefileDelayUntilReboot) != 0;
            std::wstring what = destination == nullptr ? L"delete " + LogQuote(source)
                                                       : L"move " + LogQuote(source) + L" to " +
                                                             LogQuote(*destination);
            if (atRestart) {
                what += L" at the next restart";
            }
            if ((flags & win::kMovefileReplaceExisting) != 0) {
                what += L" (replacing)";
            }
            return what;
        });
        return ok;
    }
    bool DeleteFile(const std::wstring& path) override {
        const bool ok = m_inner.DeleteFile(path);
        Record(
            ok, L"File", [&] { return L"delete " + LogQuote(path); }, Absent::Fine);
        return ok;
    }
    bool SetFileAttributes(const std::wstring& path, uint32_t attributes) override {
        const bool ok = m_inner.SetFileAttributes(path, attributes);
        Record(
            ok, L"File",
            [&] {
                return L"set the attributes of " + LogQuote(path) + L" to " +
                       AttributesText(attributes);
            },
            Absent::Fine);
        return ok;
    }
    bool CreateDirectory(const std::wstring& path) override {
        const bool ok = m_inner.CreateDirectory(path);
        if (!m_log.IsOn()) {
            return ok;
        }
        const uint32_t error = ok ? 0 : m_system.GetLastError();
        std::wstring result = L"created";
        if (!ok) {
            // A folder that is already there is what the program wants; only other
            // failures count.
            const uint32_t attributes = m_inner.GetFileAttributes(path);
            m_system.SetLastError(error);
            if (attributes != win::kInvalidFileAttributes &&
                (attributes & win::kFileAttributeDirectory) != 0) {
                result = L"exists already";
            } else {
                result = ResultText(false, error);
                m_log.CountFailure();
            }
        }
        m_log.Write(L"Folder", L"create " + LogQuote(path) + L": " + result);
        return ok;
    }
    bool RemoveDirectory(const std::wstring& path) override {
        const bool ok = m_inner.RemoveDirectory(path);
        Record(ok, L"Folder", [&] { return L"remove " + LogQuote(path); });
        return ok;
    }
    uint32_t GetTempFileName(const std::wstring& folder, const std::wstring& prefix,
                             std::wstring* path) override {
        const uint32_t unique = m_inner.GetTempFileName(folder, prefix, path);
        Record(unique != 0, L"File", [&] {
            return L"make a temporary file in " + LogQuote(folder) +
                   (unique != 0 ? L", " + LogQuote(*path) : std::wstring());
        });
        return unique;
    }
    FileHandle CreateFile(const std::wstring& path, uint32_t access, uint32_t share,
                          uint32_t disposition, uint32_t flagsAndAttributes) override {
        const FileHandle file =
            m_inner.CreateFile(path, access, share, disposition, flagsAndAttributes);
        if (IsWritingOpen(path, access, disposition)) {
            Record(static_cast<bool>(file), L"File", [&] {
                return L"open " + LogQuote(path) + L" for writing (" +
                       DispositionText(disposition) + L")";
            });
        }
        return file;
    }
    bool CreateHardLink(const std::wstring& newName, const std::wstring& existing) override {
        const bool ok = m_inner.CreateHardLink(newName, existing);
        Record(ok, L"File", [&] {
            return L"make the hard link " + LogQuote(newName) + L" to " + LogQuote(existing);
        });
        return ok;
    }
    bool CreateSymbolicLink(const std::wstring& link, const std::wstring& target,
                            bool directory) override {
        const bool ok = m_inner.CreateSymbolicLink(link, target, directory);
        Record(ok, L"File", [&] {
            return L"make the symbolic link " + LogQuote(link) + L" to " + LogQuote(target);
        });
        return ok;
    }
    bool WritePrivateProfileString(const std::wstring& section, const std::wstring& key,
                                   const std::wstring& value, const std::wstring& file) override {
        const bool ok = m_inner.WritePrivateProfileString(section, key, value, file);
        Record(ok, L"Profile", [&] {
            // The digest of the password is as good as the password to whoever can try
            // passwords against it.
            const std::wstring shown = base::EqualsNoCase(key, kHashKey)
                                           ? std::wstring(L"(password hash, not shown)")
                                           : m_log.Data(value);
            return L"write [" + section + L"] " + key + L" = " + shown + L" in " + LogQuote(file);
        });
        return ok;
    }

private:
    // Whether a missing file is a failure: clearing the attributes of a file or deleting it
    // before it is replaced finds nothing on a first installation, which is no fault.
    enum class Absent { Fails, Fine };

    // Writes "what: result" when the log is on; a failure is counted.
    template <typename Describe>
    void Record(bool ok, const wchar_t* category, Describe describe,
                Absent absent = Absent::Fails) {
        if (!m_log.IsOn()) {
            return;
        }
        const uint32_t error = ok ? 0 : m_system.GetLastError();
        if (!ok && absent == Absent::Fine &&
            (error == win::kErrorFileNotFound || error == win::kErrorPathNotFound)) {
            m_log.Write(category, describe() + L": not there");
            return;
        }
        if (!ok) {
            m_log.CountFailure();
        }
        m_log.Write(category, describe() + L": " + ResultText(ok, error));
    }

    platform::System& m_system;
    CInstallLog& m_log;
};

// ---- Registry ----

class LoggedRegistry final : public platform::ForwardingRegistry {
public:
    LoggedRegistry(platform::Registry& inner, CInstallLog& log)
        : platform::ForwardingRegistry(inner), m_log(log) {}

    uint32_t SetValue(platform::Hive hive, const std::wstring& subKey, const std::wstring& value,
                      uint32_t type, const void* data, uint32_t size) override {
        const uint32_t status = m_inner.SetValue(hive, subKey, value, type, data, size);
        RecordSet(KeyText(hive, subKey), value, type, data, size, status);
        return status;
    }
    uint32_t OpenKey(platform::Hive hive, const std::wstring& subKey, uint32_t access,
                     KeyHandle* key) override {
        const uint32_t status = m_inner.OpenKey(hive, subKey, access, key);
        if (m_log.IsOn() && status == win::kErrorSuccess) {
            m_keys[key->value] = KeyText(hive, subKey);
        }
        return status;
    }
    uint32_t SetKeyValue(KeyHandle key, const std::wstring& value, uint32_t type, const void* data,
                         uint32_t size) override {
        const uint32_t status = m_inner.SetKeyValue(key, value, type, data, size);
        const auto known = m_keys.find(key.value);
        RecordSet(known != m_keys.end() ? known->second : std::wstring(L"(a key opened before)"),
                  value, type, data, size, status);
        return status;
    }
    uint32_t CloseKey(KeyHandle key) override {
        if (m_log.IsOn()) {
            m_keys.erase(key.value);
        }
        return m_inner.CloseKey(key);
    }
    uint32_t DeleteValue(platform::Hive hive, const std::wstring& subKey,
                         const std::wstring& value) override {
        const uint32_t status = m_inner.DeleteValue(hive, subKey, value);
        Record(status,
               [&] { return L"delete " + KeyText(hive, subKey) + L" " + ValueNameText(value); });
        return status;
    }
    uint32_t DeleteKeyTree(platform::Hive hive, const std::wstring& subKey) override {
        const uint32_t status = m_inner.DeleteKeyTree(hive, subKey);
        Record(status, [&] { return L"delete the key " + KeyText(hive, subKey) + L" and below"; });
        return status;
    }

private:
    void RecordSet(const std::wstring& key, const std::wstring& value, uint32_t type,
                   const void* data, uint32_t size, uint32_t status) {
        Record(status, [&] {
            return L"set " + key + L" " + ValueNameText(value) + L" = " +
                   RegistryDataText(&m_log, type, data, size);
        });
    }
    template <typename Describe>
    void Record(uint32_t status, Describe describe) {
        if (!m_log.IsOn()) {
            return;
        }
        if (status != win::kErrorSuccess) {
            m_log.CountFailure();
        }
        m_log.Write(L"Registry", describe() + L": " + ErrorText(status));
    }

    CInstallLog& m_log;
    // The keys opened while the log is on, by handle, for the values written through them.
    std::map<std::uintptr_t, std::wstring> m_keys;
};

// ---- Shell ----

class LoggedShellLink final : public platform::ShellLink {
public:
    LoggedShellLink(std::unique_ptr<platform::ShellLink> inner, CInstallLog& log)
        : m_inner(std::move(inner)), m_log(log) {}

    int32_t SetPath(const std::wstring& target) override {
        m_target = target;
        return m_inner->SetPath(target);
    }
    int32_t SetWorkingDirectory(const std::wstring& folder) override {
        m_folder = folder;
        return m_inner->SetWorkingDirectory(folder);
    }
    int32_t SetShowCmd(int showCmd) override { return m_inner->SetShowCmd(showCmd); }
    int32_t SetArguments(const std::wstring& arguments) override {
        m_arguments = arguments;
        return m_inner->SetArguments(arguments);
    }
    int32_t Save(const std::wstring& linkPath, bool remember) override {
        const int32_t hr = m_inner->Save(linkPath, remember);
        if (m_log.IsOn()) {
            if (hr < 0) {
                m_log.CountFailure();
            }
            std::wstring what = L"save " + LogQuote(linkPath) + L" to " + LogQuote(m_target);
            if (!m_arguments.empty()) {
                what += L" with the arguments " + m_log.Data(m_arguments);
            }
            if (!m_folder.empty()) {
                what += L", starting in " + LogQuote(m_folder);
            }
            m_log.Write(L"Link", what + L": " + HresultText(hr));
        }
        return hr;
    }

private:
    std::unique_ptr<platform::ShellLink> m_inner;
    CInstallLog& m_log;
    std::wstring m_target;
    std::wstring m_folder;
    std::wstring m_arguments;
};

class LoggedShell final : public platform::ForwardingShell {
public:
    LoggedShell(platform::Shell& inner, CInstallLog& log)
        : platform::ForwardingShell(inner), m_log(log) {}

    int32_t CreateShellLink(std::unique_ptr<platform::ShellLink>* link) override {
        const int32_t hr = m_inner.CreateShellLink(link);
        if (!m_log.IsOn()) {
            return hr;
        }
        if (hr >= 0 && *link) {
            *link = std::make_unique<LoggedShellLink>(std::move(*link), m_log);
        } else {
            m_log.CountFailure();
            m_log.Write(L"Link", L"make a shell link object: " + HresultText(hr));
        }
        return hr;
    }

private:
    CInstallLog& m_log;
};

// ---- Processes ----

class LoggedProcesses final : public platform::ForwardingProcesses {
public:
    LoggedProcesses(platform::Processes& inner, platform::System& system, CInstallLog& log)
        : ForwardingProcesses(inner), m_system(system), m_log(log) {}

    bool CloseHandle(KernelHandle handle) override {
        if (m_log.IsOn()) {
            m_processes.erase(handle.value);
        }
        return m_inner.CloseHandle(handle);
    }
    bool CreateProcess(const std::wstring* application, const std::wstring& commandLine,
                       const platform::StartupOptions& startup,
                       platform::ProcessInfo* info) override {
        const bool ok = m_inner.CreateProcess(application, commandLine, startup, info);
        if (!m_log.IsOn()) {
            return ok;
        }
        const uint32_t error = ok ? 0 : m_system.GetLastError();
        std::wstring what = L"start " + m_log.Data(commandLine);
        if (application != nullptr) {
            what += L" (program " + LogQuote(*application) + L")";
        }
        if ((startup.flags & win::kStartfUseShowWindow) != 0 &&
            startup.showWindow == win::kSwHide) {
            what += L", hidden";
        }
        if (ok) {
            m_processes[info->process.value] = info->processId;
            m_log.Write(L"Process", what + base::Format(L": ok, process %u", info->processId));
        } else {
            m_log.CountFailure();
            m_log.Write(L"Process", what + L": " + ResultText(false, error));
        }
        return ok;
    }
    uint32_t WaitForSingleObject(KernelHandle handle, uint32_t milliseconds) override {
        const uint32_t result = m_inner.WaitForSingleObject(handle, milliseconds);
        const auto started = m_processes.find(handle.value);
        if (m_log.IsOn() && started != m_processes.end()) {
            const uint32_t error = result == win::kWaitFailed ? m_system.GetLastError() : 0;
            const std::wstring limit = milliseconds == win::kInfinite
                                           ? std::wstring(L"without a time limit")
                                           : base::Format(L"up to %u ms", milliseconds);
            std::wstring outcome = L"it ended";
            if (result == win::kWaitTimeout) {
                outcome = L"still running when the time was up";
            } else if (result != win::kWaitObject0) {
                outcome = L"the wait failed, " + ResultText(false, error);
            }
            m_log.Write(L"Process", base::Format(L"wait for process %u %ls: %ls", started->second,
                                                 limit.c_str(), outcome.c_str()));
        }
        return result;
    }
    bool GetExitCodeProcess(KernelHandle process, uint32_t* exitCode) override {
        const bool ok = m_inner.GetExitCodeProcess(process, exitCode);
        const auto started = m_processes.find(process.value);
        if (m_log.IsOn() && ok && started != m_processes.end()) {
            m_log.Write(L"Process",
                        *exitCode == win::kStillActive
                            ? base::Format(L"process %u is still running", started->second)
                            : base::Format(L"process %u exit code %u", started->second, *exitCode));
        }
        return ok;
    }
    ModuleHandle LoadLibrary(const std::wstring& path) override {
        const ModuleHandle module = m_inner.LoadLibrary(path);
        RecordLoad(module, path, L"");
        return module;
    }
    ModuleHandle LoadLibraryEx(const std::wstring& path, uint32_t flags) override {
        const ModuleHandle module = m_inner.LoadLibraryEx(path, flags);
        RecordLoad(module, path, base::Format(L" (flags 0x%08x)", flags));
        return module;
    }
    ProcAddress GetProcAddress(ModuleHandle module, const std::string& name) override {
        const ProcAddress proc = m_inner.GetProcAddress(module, name);
        const auto loaded = m_modules.find(module.value);
        if (m_log.IsOn() && loaded != m_modules.end()) {
            const std::wstring function(name.begin(), name.end());
            if (proc != 0) {
                m_functions[proc] = function + L" of " + LogQuote(loaded->second);
            } else {
                const uint32_t error = m_system.GetLastError();
                m_log.CountFailure();
                m_log.Write(L"Library", L"find " + function + L" in " + LogQuote(loaded->second) +
                                            L": " + ResultText(false, error));
            }
        }
        return proc;
    }
    int32_t CallNoArgumentProc(ProcAddress proc) override {
        const int32_t hr = m_inner.CallNoArgumentProc(proc);
        if (m_log.IsOn()) {
            const auto known = m_functions.find(proc);
            if (hr < 0) {
                m_log.CountFailure();
            }
            m_log.Write(L"Library",
                        L"call " +
                            (known != m_functions.end() ? known->second
                                                        : std::wstring(L"a library's function")) +
                            L": " + HresultText(hr));
        }
        return hr;
    }
    bool FreeLibrary(ModuleHandle module) override {
        if (m_log.IsOn()) {
            m_modules.erase(module.value);
        }
        return m_inner.FreeLibrary(module);
    }
    bool LookupPrivilegeValue(const std::wstring& name, platform::Luid* luid) override {
        const bool ok = m_inner.LookupPrivilegeValue(name, luid);
        if (ok && m_log.IsOn()) {
            m_privilege = name;
        }
        return ok;
    }
    bool AdjustTokenPrivilege(KernelHandle token, const platform::Luid& luid,
                              uint32_t attributes) override {
        const bool ok = m_inner.AdjustTokenPrivilege(token, luid, attributes);
        if (m_log.IsOn()) {
            // The call succeeds also when the privilege is not held; it then says so in the
            // last-error value.
            const uint32_t error = m_system.GetLastError();
            const bool enabled = ok && error != win::kErrorNotAllAssigned;
            if (!enabled) {
                m_log.CountFailure();
            }
            m_log.Write(L"Restart", L"enable the privilege " +
                                        (m_privilege.empty() ? std::wstring(L"?") : m_privilege) +
                                        L": " + ResultText(enabled, error));
        }
        return ok;
    }
    bool ExitWindowsEx(uint32_t flags, uint32_t reason) override {
        if (m_log.IsOn()) {
            // Written first: a restart that goes ahead may end the program before it could
            // write anything after the call.
            m_log.Write(L"Restart",
                        base::Format(L"ask Windows to restart the computer (flags 0x%08x, "
                                     L"reason 0x%08x)",
                                     flags, reason));
        }
        const bool ok = m_inner.ExitWindowsEx(flags, reason);
        if (m_log.IsOn()) {
            const uint32_t error = ok ? 0 : m_system.GetLastError();
            if (!ok) {
                m_log.CountFailure();
            }
            m_log.Write(L"Restart", L"the restart request: " + ResultText(ok, error));
        }
        return ok;
    }

private:
    void RecordLoad(ModuleHandle module, const std::wstring& path, const std::wstring& flags) {
        if (!m_log.IsOn()) {
            return;
        }
        const uint32_t error = module ? 0 : m_system.GetLastError();
        if (module) {
            m_modules[module.value] = path;
        } else {
            m_log.CountFailure();
        }
        m_log.Write(L"Library", L"load " + LogQuote(path) + flags + L": " +
                                    ResultText(static_cast<bool>(module), error));
    }

    platform::System& m_system;
    CInstallLog& m_log;
    std::map<std::uintptr_t, uint32_t> m_processes;  // started: handle -> process id
    std::map<std::uintptr_t, std::wstring> m_modules;
    std::map<ProcAddress, std::wstring> m_functions;
    std::wstring m_privilege;
};

// ---- Ui: the message boxes ----

const wchar_t* IconText(uint32_t flags) {
    switch (flags & 0xF0) {
        case win::kMbIconHand:
            return L", stop icon";
        case win::kMbIconQuestion:
            return L", question icon";
        case win::kMbIconExclamation:
            return L", exclamation icon";
        case win::kMbIconInformation:
            return L", information icon";
        default:
            return L"";
    }
}

std::vector<int> MessageBoxButtons(uint32_t flags) {
    switch (flags & win::kMbTypeMask) {
        case win::kMbOk:
            return {win::kIdOk};
        case win::kMbOkCancel:
            return {win::kIdOk, win::kIdCancel};
        case win::kMbAbortRetryIgnore:
            return {win::kIdAbort, win::kIdRetry, win::kIdIgnore};
        case win::kMbYesNoCancel:
            return {win::kIdYes, win::kIdNo, win::kIdCancel};
        case win::kMbYesNo:
            return {win::kIdYes, win::kIdNo};
        case win::kMbRetryCancel:
            return {win::kIdRetry, win::kIdCancel};
        case win::kMbCancelTryContinue:
            return {win::kIdCancel, win::kIdTryAgain, win::kIdContinue};
        default:
            return {win::kIdOk};
    }
}

class LoggedUi final : public platform::ForwardingUi {
public:
    LoggedUi(platform::Ui& inner, platform::System& system, CInstallLog& log)
        : ForwardingUi(inner), m_system(system), m_log(log) {}

    int MessageBox(WindowHandle owner, const std::wstring& text, const std::wstring& caption,
                   uint32_t flags) override {
        const std::wstring box = LogQuote(text) + L" (caption " + LogQuote(caption) + L"; " +
                                 MessageBoxButtonsText(flags) + IconText(flags) + L")";
        if (m_log.SuppressesMessageBoxes()) {
            const int answer = DefaultMessageBoxAnswer(flags);
            m_log.Write(L"Box", box + L": not shown (-suppressmsgboxes), answered " +
                                    MessageBoxAnswerText(answer));
            return answer;
        }
        // Before the box: a run that waits for an answer shows what it waits for.
        m_log.Write(L"Box", box + L": shown, waiting for an answer");
        const int answer = m_inner.MessageBox(owner, text, caption, flags);
        if (m_log.IsOn()) {
            const uint32_t error = answer == 0 ? m_system.GetLastError() : 0;
            m_log.Write(L"Box", answer != 0
                                    ? L"answered " + MessageBoxAnswerText(answer)
                                    : L"the box could not be shown: " + ResultText(false, error));
        }
        return answer;
    }

private:
    platform::System& m_system;
    CInstallLog& m_log;
};

}  // namespace

struct CLoggedPorts::Impl {
    Impl(platform::Platform& inner, CInstallLog& log)
        : registry(inner.registry, log),
          givingWay(inner.files, log),
          writes(givingWay, inner.system, log),
          files(writes, inner.system, log),
          shell(inner.shell, log),
          processes(inner.processes, inner.system, log),
          ui(inner.ui, inner.system, log),
          ports{registry, files, inner.volumes, shell, inner.system, processes, inner.wmi, ui} {}

    LoggedRegistry registry;
    CLogGivesWayFiles givingWay;
    CLoggedWritesFiles writes;
    LoggedFiles files;
    LoggedShell shell;
    LoggedProcesses processes;
    LoggedUi ui;
    platform::Platform ports;
};

CLoggedPorts::CLoggedPorts(platform::Platform& inner, CInstallLog& log)
    : m_impl(std::make_unique<Impl>(inner, log)) {}

CLoggedPorts::~CLoggedPorts() = default;

platform::Platform& CLoggedPorts::Ports() {
    return m_impl->ports;
}

int DefaultMessageBoxAnswer(uint32_t flags) {
    const std::vector<int> buttons = MessageBoxButtons(flags);
    const size_t index = (flags & win::kMbDefMask) >> 8;
    return index < buttons.size() ? buttons[index] : buttons.front();
}

std::wstring MessageBoxButtonsText(uint32_t flags) {
    std::wstring text;
    for (int button : MessageBoxButtons(flags)) {
        text += (text.empty() ? L"" : L", ") + MessageBoxAnswerText(button);
    }
    return text;
}

std::wstring MessageBoxAnswerText(int answer) {
    switch (answer) {
        case 0:
            return L"none";
        case win::kIdOk:
            return L"OK";
        case win::kIdCancel:
            return L"Cancel";
        case win::kIdAbort:
            return L"Abort";
        case win::kIdRetry:
            return L"Retry";
        case win::kIdIgnore:
            return L"Ignore";
        case win::kIdYes:
            return L"Yes";
        case win::kIdNo:
            return L"No";
        case win::kIdTryAgain:
            return L"Try Again";
        case win::kIdContinue:
            return L"Continue";
        default:
            return base::Format(L"button %d", answer);
    }
}
