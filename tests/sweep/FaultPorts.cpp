#include "FaultPorts.h"

#include <map>

#include "base/Text.h"
#include "platform/WinConst.h"

namespace faults {

namespace {

// The simulated time a run may sleep before it counts as hung: far beyond the pauses of
// an installation (the progress pauses, the waits for the companions).
constexpr uint64_t kSleepBound = 60ull * 60 * 1000;
// What a call reports once the run has stopped: the machine is gone.
constexpr uint32_t kDeadError = win::kErrorNotReady;
constexpr uint32_t kErrorGenFailure = 31;
constexpr uint32_t kErrorLockViolation = 33;
constexpr int32_t kRpcUnavailable = static_cast<int32_t>(0x800706BA);
constexpr int32_t kWbemAccessDenied = static_cast<int32_t>(0x80041003);
constexpr int32_t kDiskFullResult = static_cast<int32_t>(0x80070070);

const std::wstring kNone;

int32_t ResultOf(uint32_t error) {
    return error > 0xFFFF ? static_cast<int32_t>(error)
                          : static_cast<int32_t>(0x80070000u | (error & 0xFFFF));
}

// Stops the run when the call that made it has returned.
class StopAfter {
public:
    StopAfter(FaultPlan& plan, bool stop) : m_plan(plan), m_stop(stop) {}
    ~StopAfter() {
        if (m_stop) {
            m_plan.Die();
        }
    }

private:
    FaultPlan& m_plan;
    bool m_stop;
};

}  // namespace

// A call that fails sets the last-error value and returns |failValue|; otherwise it is made
// and, when it is call k of a Stop plan, the run stops once it has returned.
#define CV_FAULT(op, subject, changes, failValue, ...)                               \
    const FaultPlan::Decision d = m_plan.Enter(op, subject, changes, {__VA_ARGS__}); \
    if (d.fail) {                                                                    \
        m_system.SetLastError(d.error);                                              \
        return failValue;                                                            \
    }                                                                                \
    const StopAfter stop(m_plan, d.stopAfter)

// The same for calls that return their status (the registry's, HRESULTs).
#define CV_FAULT_STATUS(op, subject, changes, toStatus, ...)                         \
    const FaultPlan::Decision d = m_plan.Enter(op, subject, changes, {__VA_ARGS__}); \
    if (d.fail) {                                                                    \
        return toStatus(d.error);                                                    \
    }                                                                                \
    const StopAfter stop(m_plan, d.stopAfter)

FaultPlan::FaultPlan(Way way, uint64_t k, std::wstring logPath)
    : m_way(way), m_k(k), m_logPath(std::move(logPath)) {}

FaultPlan::Decision FaultPlan::Enter(const wchar_t* op, const std::wstring& subject, bool changes,
                                     std::initializer_list<uint32_t> errors) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    Decision d;
    if (m_dead) {
        d.fail = true;
        d.error = kDeadError;
        return d;
    }
    ++m_calls;
    if (m_record) {
        m_recorded.push_back({m_calls, op, subject, changes, IsLogPath(subject), 0});
    }
    if (m_calls == m_k && m_way != Way::None) {
        m_disturbed = {m_calls, op, subject, changes, IsLogPath(subject), 0};
        if (m_way == Way::Fail) {
            d.fail = true;
            d.error = errors.size() == 0 ? win::kErrorAccessDenied
                                         : *(errors.begin() + m_k % errors.size());
            m_disturbed.error = d.error;
        } else {
            d.stopAfter = true;
        }
    }
    return d;
}

bool FaultPlan::Dead() {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_dead;
}

void FaultPlan::Die() {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    m_dead = true;
}

void FaultPlan::AddSleep(uint32_t milliseconds) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    m_slept += milliseconds;
    if (m_slept > kSleepBound) {
        m_hung = true;
        m_dead = true;
    }
}

bool FaultPlan::Hung() {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_hung;
}

uint64_t FaultPlan::Calls() {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_calls;
}

Call FaultPlan::Disturbed() {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_disturbed;
}

void FaultPlan::Record(bool on) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    m_record = on;
}

std::vector<Call> FaultPlan::Recorded() {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_recorded;
}

bool FaultPlan::IsLogPath(const std::wstring& path) const {
    return !m_logPath.empty() && base::EqualsNoCase(path, m_logPath);
}

namespace {

uint32_t Status(uint32_t error) {
    return error;
}

class FaultRegistry : public platform::ForwardingRegistry {
public:
    FaultRegistry(platform::Registry& inner, FaultPlan& plan)
        : ForwardingRegistry(inner), m_plan(plan) {}
    uint32_t GetValue(platform::Hive hive, const std::wstring& subKey, const std::wstring& value,
                      uint32_t* type, void* data, uint32_t* size) override {
        const FaultPlan::Decision d =
            data ? m_plan.Enter(L"GetValue", value, false,
                                {win::kErrorMoreData, win::kErrorAccessDenied})
                 : m_plan.Enter(L"GetValue", value, false, {win::kErrorAccessDenied});
        if (d.fail) {
            return MoreData(d.error, size, [&](uint32_t* needed) {
                return m_inner.GetValue(hive, subKey, value, nullptr, nullptr, needed);
            });
        }
        const StopAfter stop(m_plan, d.stopAfter);
        return m_inner.GetValue(hive, subKey, value, type, data, size);
    }
    uint32_t SetValue(platform::Hive hive, const std::wstring& subKey, const std::wstring& value,
                      uint32_t type, const void* data, uint32_t size) override {
        CV_FAULT_STATUS(L"SetValue", value, true, Status, win::kErrorAccessDenied);
        return m_inner.SetValue(hive, subKey, value, type, data, size);
    }
    uint32_t OpenKey(platform::Hive hive, const std::wstring& subKey, uint32_t access,
                     platform::KeyHandle* key) override {
        CV_FAULT_STATUS(L"OpenKey", subKey, false, Status, win::kErrorAccessDenied);
        return m_inner.OpenKey(hive, subKey, access, key);
    }
    uint32_t QueryValue(platform::KeyHandle key, const std::wstring& value, uint32_t* type,
                        void* data, uint32_t* size) override {
        const FaultPlan::Decision d =
            data ? m_plan.Enter(L"QueryValue", value, false,
                                {win::kErrorMoreData, win::kErrorAccessDenied})
                 : m_plan.Enter(L"QueryValue", value, false, {win::kErrorAccessDenied});
        if (d.fail) {
            return MoreData(d.error, size, [&](uint32_t* needed) {
                return m_inner.QueryValue(key, value, nullptr, nullptr, needed);
            });
        }
        const StopAfter stop(m_plan, d.stopAfter);
        return m_inner.QueryValue(key, value, type, data, size);
    }
    uint32_t SetKeyValue(platform::KeyHandle key, const std::wstring& value, uint32_t type,
                         const void* data, uint32_t size) override {
        CV_FAULT_STATUS(L"SetKeyValue", value, true, Status, win::kErrorAccessDenied);
        return m_inner.SetKeyValue(key, value, type, data, size);
    }
    uint32_t DeleteValue(platform::Hive hive, const std::wstring& subKey,
                         const std::wstring& value) override {
        CV_FAULT_STATUS(L"DeleteValue", value, true, Status, win::kErrorAccessDenied);
        return m_inner.DeleteValue(hive, subKey, value);
    }
    uint32_t DeleteKeyTree(platform::Hive hive, const std::wstring& subKey) override {
        CV_FAULT_STATUS(L"DeleteKeyTree", subKey, true, Status, win::kErrorAccessDenied);
        return m_inner.DeleteKeyTree(hive, subKey);
    }

private:
    // ERROR_MORE_DATA as Windows gives it: with the size the data need (the value may have
    // grown since the caller asked). A value that is not there is reported as not found.
    template <typename SizeQuery>
    uint32_t MoreData(uint32_t error, uint32_t* size, SizeQuery query) {
        if (error != win::kErrorMoreData) {
            return error;
        }
        uint32_t needed = 0;
        if (query(&needed) != win::kErrorSuccess) {
            return win::kErrorFileNotFound;
        }
        if (size) {
            *size = needed + 2;
        }
        return win::kErrorMoreData;
    }

    FaultPlan& m_plan;
};

class FaultFiles : public platform::ForwardingFiles {
public:
    FaultFiles(platform::Files& inner, platform::System& system, FaultPlan& plan)
        : ForwardingFiles(inner), m_system(system), m_plan(plan) {}
    bool CopyFile(const std::wstring& source, const std::wstring& destination,
                  bool failIfExists) override {
        CV_FAULT(L"CopyFile", destination, true, false, win::kErrorAccessDenied,
                 win::kErrorSharingViolation, win::kErrorDiskFull);
        const bool ok = m_inner.CopyFile(source, destination, failIfExists);
        if (ok && d.stopAfter) {
            CutToHalf(destination);
        }
        return ok;
    }
    bool MoveFile(const std::wstring& source, const std::wstring& destination) override {
        CV_FAULT(L"MoveFile", source, true, false, win::kErrorAccessDenied,
                 win::kErrorSharingViolation);
        return m_inner.MoveFile(source, destination);
    }
    bool MoveFileEx(const std::wstring& source, const std::wstring* destination,
                    uint32_t flags) override {
        CV_FAULT(L"MoveFileEx", source, true, false, win::kErrorAccessDenied,
                 win::kErrorSharingViolation);
        return m_inner.MoveFileEx(source, destination, flags);
    }
    bool DeleteFile(const std::wstring& path) override {
        CV_FAULT(L"DeleteFile", path, true, false, win::kErrorAccessDenied,
                 win::kErrorSharingViolation);
        return m_inner.DeleteFile(path);
    }
    uint32_t GetFileAttributes(const std::wstring& path) override {
        CV_FAULT(L"GetFileAttributes", path, false, win::kInvalidFileAttributes,
                 win::kErrorAccessDenied, win::kErrorFileNotFound);
        return m_inner.GetFileAttributes(path);
    }
    bool SetFileAttributes(const std::wstring& path, uint32_t attributes) override {
        CV_FAULT(L"SetFileAttributes", path, true, false, win::kErrorAccessDenied,
                 win::kErrorSharingViolation);
        return m_inner.SetFileAttributes(path, attributes);
    }
    bool CreateDirectory(const std::wstring& path) override {
        CV_FAULT(L"CreateDirectory", path, true, false, win::kErrorAccessDenied,
                 win::kErrorDiskFull);
        return m_inner.CreateDirectory(path);
    }
    bool RemoveDirectory(const std::wstring& path) override {
        CV_FAULT(L"RemoveDirectory", path, true, false, win::kErrorAccessDenied,
                 win::kErrorSharingViolation);
        return m_inner.RemoveDirectory(path);
    }
    platform::FindHandle FindFirstFile(const std::wstring& pattern,
                                       platform::FindData* data) override {
        CV_FAULT(L"FindFirstFile", pattern, false, platform::FindHandle(), win::kErrorAccessDenied,
                 win::kErrorFileNotFound);
        return m_inner.FindFirstFile(pattern, data);
    }
    bool FindNextFile(platform::FindHandle find, platform::FindData* data) override {
        CV_FAULT(L"FindNextFile", kNone, false, false, win::kErrorAccessDenied);
        return m_inner.FindNextFile(find, data);
    }
    uint32_t GetTempFileName(const std::wstring& folder, const std::wstring& prefix,
                             std::wstring* path) override {
        CV_FAULT(L"GetTempFileName", folder, true, 0u, win::kErrorAccessDenied,
                 win::kErrorDiskFull);
        return m_inner.GetTempFileName(folder, prefix, path);
    }
    bool GetModuleFileName(std::wstring* path) override {
        CV_FAULT(L"GetModuleFileName", kNone, false, false, win::kErrorInsufficientBuffer);
        return m_inner.GetModuleFileName(path);
    }
    platform::FileHandle CreateFile(const std::wstring& path, uint32_t access, uint32_t share,
                                    uint32_t disposition, uint32_t flagsAndAttributes) override {
        const bool writes = (access & (win::kGenericWrite | win::kGenericAll)) != 0 ||
                            disposition != win::kOpenExisting;
        const FaultPlan::Decision d =
            writes ? m_plan.Enter(L"CreateFile", path, true,
                                  {win::kErrorAccessDenied, win::kErrorSharingViolation,
                                   win::kErrorDiskFull})
                   : m_plan.Enter(L"CreateFile", path, false,
                                  {win::kErrorAccessDenied, win::kErrorSharingViolation,
                                   win::kErrorFileNotFound});
        if (d.fail) {
            m_system.SetLastError(d.error);
            return platform::FileHandle();
        }
        const StopAfter stop(m_plan, d.stopAfter);
        const platform::FileHandle file =
            m_inner.CreateFile(path, access, share, disposition, flagsAndAttributes);
        if (file) {
            std::lock_guard<std::mutex> guard(m_lock);
            m_paths[file.value] = path;
        }
        return file;
    }
    bool CloseHandle(platform::FileHandle file) override {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_paths.erase(file.value);
        }
        return m_inner.CloseHandle(file);
    }
    bool ReadFile(platform::FileHandle file, void* buffer, uint32_t toRead,
                  uint32_t* read) override {
        CV_FAULT(L"ReadFile", PathOf(file), false, false, win::kErrorAccessDenied,
                 kErrorLockViolation);
        return m_inner.ReadFile(file, buffer, toRead, read);
    }
    bool WriteFile(platform::FileHandle file, const void* buffer, uint32_t toWrite,
                   uint32_t* written) override {
        CV_FAULT(L"WriteFile", PathOf(file), true, false, win::kErrorDiskFull, kErrorLockViolation);
        // The power goes while the data are on their way: only the first half arrives.
        return m_inner.WriteFile(file, buffer, d.stopAfter ? toWrite / 2 : toWrite, written);
    }
    bool SetFilePointer(platform::FileHandle file, int64_t distance, uint32_t method,
                        int64_t* newPosition) override {
        CV_FAULT(L"SetFilePointer", PathOf(file), false, false, win::kErrorInvalidParameter);
        return m_inner.SetFilePointer(file, distance, method, newPosition);
    }
    bool SetEndOfFile(platform::FileHandle file) override {
        CV_FAULT(L"SetEndOfFile", PathOf(file), true, false, win::kErrorDiskFull);
        return m_inner.SetEndOfFile(file);
    }
    bool GetFileSize(platform::FileHandle file, uint64_t* size) override {
        CV_FAULT(L"GetFileSize", PathOf(file), false, false, win::kErrorAccessDenied);
        return m_inner.GetFileSize(file, size);
    }
    bool GetFileInformationByHandle(platform::FileHandle file,
                                    platform::FileInformation* information) override {
        CV_FAULT(L"GetFileInformationByHandle", PathOf(file), false, false,
                 win::kErrorAccessDenied);
        return m_inner.GetFileInformationByHandle(file, information);
    }
    bool CreateHardLink(const std::wstring& newName, const std::wstring& existing) override {
        CV_FAULT(L"CreateHardLink", newName, true, false, win::kErrorAccessDenied);
        return m_inner.CreateHardLink(newName, existing);
    }
    bool CreateSymbolicLink(const std::wstring& link, const std::wstring& target,
                            bool directory) override {
        CV_FAULT(L"CreateSymbolicLink", link, true, false, win::kErrorAccessDenied,
                 win::kErrorPrivilegeNotHeld);
        return m_inner.CreateSymbolicLink(link, target, directory);
    }
    uint32_t GetPrivateProfileString(const std::wstring& section, const std::wstring& key,
                                     const std::wstring& defaultValue, std::wstring* value,
                                     uint32_t bufferChars, const std::wstring& file) override {
        const FaultPlan::Decision d =
            m_plan.Enter(L"GetPrivateProfileString", file, false, {win::kErrorFileNotFound});
        if (d.fail) {
            // As for a file that cannot be read: the default, cut to the buffer.
            m_system.SetLastError(d.error);
            const size_t room = bufferChars == 0 ? 0 : bufferChars - 1;
            *value = defaultValue.substr(0, room);
            return static_cast<uint32_t>(value->size());
        }
        const StopAfter stop(m_plan, d.stopAfter);
        return m_inner.GetPrivateProfileString(section, key, defaultValue, value, bufferChars,
                                               file);
    }
    uint32_t GetPrivateProfileInt(const std::wstring& section, const std::wstring& key,
                                  int32_t defaultValue, const std::wstring& file) override {
        CV_FAULT(L"GetPrivateProfileInt", file, false, static_cast<uint32_t>(defaultValue),
                 win::kErrorFileNotFound);
        return m_inner.GetPrivateProfileInt(section, key, defaultValue, file);
    }
    bool WritePrivateProfileString(const std::wstring& section, const std::wstring& key,
                                   const std::wstring& value, const std::wstring& file) override {
        CV_FAULT(L"WritePrivateProfileString", file, true, false, win::kErrorAccessDenied,
                 win::kErrorSharingViolation, win::kErrorDiskFull);
        return m_inner.WritePrivateProfileString(section, key, value, file);
    }

private:
    std::wstring PathOf(platform::FileHandle file) {
        std::lock_guard<std::mutex> guard(m_lock);
        const auto it = m_paths.find(file.value);
        return it == m_paths.end() ? std::wstring() : it->second;
    }

    // A copy that the power cut off: the target holds the first half of the data.
    void CutToHalf(const std::wstring& path) {
        const uint32_t error = m_system.GetLastError();
        const platform::FileHandle file = m_inner.CreateFile(
            path, win::kGenericWrite, 0, win::kOpenExisting, win::kFileAttributeNormal);
        uint64_t size = 0;
        if (file && m_inner.GetFileSize(file, &size)) {
            m_inner.SetFilePointer(file, static_cast<int64_t>(size / 2), win::kFileBegin, nullptr);
            m_inner.SetEndOfFile(file);
        }
        if (file) {
            m_inner.CloseHandle(file);
        }
        m_system.SetLastError(error);
    }

    platform::System& m_system;
    FaultPlan& m_plan;
    std::mutex m_lock;
    std::map<uintptr_t, std::wstring> m_paths;
};

class FaultVolumes : public platform::ForwardingVolumes {
public:
    FaultVolumes(platform::Volumes& inner, platform::System& system, FaultPlan& plan)
        : ForwardingVolumes(inner), m_system(system), m_plan(plan) {}
    uint32_t GetDriveType(const std::wstring& root) override {
        CV_FAULT(L"GetDriveType", root, false, win::kDriveUnknown, win::kErrorNotReady);
        return m_inner.GetDriveType(root);
    }
    bool GetVolumeFileSystemName(const std::wstring& root, uint32_t bufferChars,
                                 std::wstring* fileSystem) override {
        CV_FAULT(L"GetVolumeFileSystemName", root, false, false, win::kErrorNotReady,
                 win::kErrorAccessDenied);
        return m_inner.GetVolumeFileSystemName(root, bufferChars, fileSystem);
    }
    bool GetVolumeNameForVolumeMountPoint(const std::wstring& mountPoint, uint32_t bufferChars,
                                          std::wstring* name) override {
        CV_FAULT(L"GetVolumeNameForVolumeMountPoint", mountPoint, false, false, win::kErrorNotReady,
                 win::kErrorAccessDenied);
        return m_inner.GetVolumeNameForVolumeMountPoint(mountPoint, bufferChars, name);
    }
    platform::VolumeFindHandle FindFirstVolume(std::wstring* name, uint32_t bufferChars) override {
        CV_FAULT(L"FindFirstVolume", kNone, false, platform::VolumeFindHandle(),
                 win::kErrorAccessDenied);
        return m_inner.FindFirstVolume(name, bufferChars);
    }
    bool FindNextVolume(platform::VolumeFindHandle find, std::wstring* name,
                        uint32_t bufferChars) override {
        CV_FAULT(L"FindNextVolume", kNone, false, false, win::kErrorAccessDenied);
        return m_inner.FindNextVolume(find, name, bufferChars);
    }
    bool DeviceIoControl(platform::FileHandle device, uint32_t code, const void* in,
                         uint32_t inSize, void* out, uint32_t outSize,
                         uint32_t* bytesReturned) override {
        CV_FAULT(L"DeviceIoControl", base::Format(L"code 0x%08x", code), false, false,
                 kErrorGenFailure, win::kErrorInvalidFunction, win::kErrorAccessDenied);
        return m_inner.DeviceIoControl(device, code, in, inSize, out, outSize, bytesReturned);
    }

private:
    platform::System& m_system;
    FaultPlan& m_plan;
};

class FaultShellLink : public platform::ShellLink {
public:
    FaultShellLink(std::unique_ptr<platform::ShellLink> inner, FaultPlan& plan)
        : m_inner(std::move(inner)), m_plan(plan) {}
    int32_t SetPath(const std::wstring& target) override { return m_inner->SetPath(target); }
    int32_t SetWorkingDirectory(const std::wstring& folder) override {
        return m_inner->SetWorkingDirectory(folder);
    }
    int32_t SetShowCmd(int showCmd) override { return m_inner->SetShowCmd(showCmd); }
    int32_t SetArguments(const std::wstring& arguments) override {
        return m_inner->SetArguments(arguments);
    }
    int32_t Save(const std::wstring& linkPath, bool remember) override {
        CV_FAULT_STATUS(L"ShellLink::Save", linkPath, true, ResultOf, win::kErrorAccessDenied,
                        static_cast<uint32_t>(kDiskFullResult));
        return m_inner->Save(linkPath, remember);
    }

private:
    std::unique_ptr<platform::ShellLink> m_inner;
    FaultPlan& m_plan;
};

class FaultShell : public platform::ForwardingShell {
public:
    FaultShell(platform::Shell& inner, platform::System& system, FaultPlan& plan)
        : ForwardingShell(inner), m_system(system), m_plan(plan) {}
    bool GetSpecialFolderPath(int csidl, bool create, std::wstring* path) override {
        CV_FAULT(L"GetSpecialFolderPath", base::Format(L"CSIDL 0x%04x", csidl), false, false,
                 win::kErrorAccessDenied);
        return m_inner.GetSpecialFolderPath(csidl, create, path);
    }
    int32_t GetFolderPath(int csidlAndFlags, std::wstring* path) override {
        CV_FAULT_STATUS(L"GetFolderPath", base::Format(L"CSIDL 0x%04x", csidlAndFlags), false,
                        ResultOf, win::kErrorAccessDenied, win::kErrorFileNotFound);
        return m_inner.GetFolderPath(csidlAndFlags, path);
    }
    int32_t CreateShellLink(std::unique_ptr<platform::ShellLink>* link) override {
        CV_FAULT_STATUS(L"CreateShellLink", kNone, false, ResultOf,
                        static_cast<uint32_t>(win::kEOutOfMemory));
        std::unique_ptr<platform::ShellLink> made;
        const int32_t result = m_inner.CreateShellLink(&made);
        if (made) {
            *link = std::make_unique<FaultShellLink>(std::move(made), m_plan);
        }
        return result;
    }
    bool ReadShellLink(const std::wstring& linkPath, platform::ShellLinkInfo* info) override {
        CV_FAULT(L"ReadShellLink", linkPath, false, false, win::kErrorAccessDenied);
        return m_inner.ReadShellLink(linkPath, info);
    }
    void ChangeNotify(int32_t eventId, uint32_t flags) override {
        CV_FAULT(L"ChangeNotify", kNone, false, , win::kErrorAccessDenied);
        m_inner.ChangeNotify(eventId, flags);
    }

private:
    platform::System& m_system;
    FaultPlan& m_plan;
};

class FaultSystem : public platform::ForwardingSystem {
public:
    FaultSystem(platform::System& inner, FaultPlan& plan)
        : ForwardingSystem(inner), m_system(inner), m_plan(plan) {}
    bool GetVersion(platform::OsVersion* version) override {
        CV_FAULT(L"GetVersion", kNone, false, false, win::kErrorInvalidParameter);
        return m_inner.GetVersion(version);
    }
    bool GetSystemDirectory(std::wstring* path) override {
        CV_FAULT(L"GetSystemDirectory", kNone, false, false, win::kErrorInsufficientBuffer);
        return m_inner.GetSystemDirectory(path);
    }
    bool GetWindowsDirectory(std::wstring* path) override {
        CV_FAULT(L"GetWindowsDirectory", kNone, false, false, win::kErrorInsufficientBuffer);
        return m_inner.GetWindowsDirectory(path);
    }
    int32_t CreateGuid(platform::Guid* guid) override {
        CV_FAULT_STATUS(L"CreateGuid", kNone, false, ResultOf,
                        static_cast<uint32_t>(win::kEOutOfMemory));
        return m_inner.CreateGuid(guid);
    }
    void Sleep(uint32_t milliseconds) override {
        m_plan.AddSleep(milliseconds);
        if (!m_plan.Dead()) {
            m_inner.Sleep(milliseconds);
        }
    }
    platform::KernelHandle CreateThread(platform::ThreadProc proc, void* argument) override {
        CV_FAULT(L"CreateThread", kNone, false, platform::KernelHandle(),
                 win::kErrorNotEnoughMemory);
        return m_inner.CreateThread(proc, argument);
    }

private:
    platform::System& m_system;
    FaultPlan& m_plan;
};

class FaultProcesses : public platform::ForwardingProcesses {
public:
    FaultProcesses(platform::Processes& inner, platform::System& system, FaultPlan& plan)
        : ForwardingProcesses(inner), m_system(system), m_plan(plan) {}
    platform::KernelHandle CreateMutex(const std::wstring& name, bool initialOwner) override {
        CV_FAULT(L"CreateMutex", name, false, platform::KernelHandle(), win::kErrorAccessDenied);
        return m_inner.CreateMutex(name, initialOwner);
    }
    platform::WindowHandle FindWindow(const std::wstring* className,
                                      const std::wstring& title) override {
        CV_FAULT(L"FindWindow", title, false, platform::WindowHandle(), win::kErrorAccessDenied);
        return m_inner.FindWindow(className, title);
    }
    intptr_t SendMessage(platform::WindowHandle window, uint32_t message, uintptr_t wParam,
                         intptr_t lParam) override {
        CV_FAULT(L"SendMessage", base::Format(L"message %u", message), true, 0,
                 win::kErrorAccessDenied);
        return m_inner.SendMessage(window, message, wParam, lParam);
    }
    bool PostMessage(platform::WindowHandle window, uint32_t message, uintptr_t wParam,
                     intptr_t lParam) override {
        CV_FAULT(L"PostMessage", base::Format(L"message %u", message), true, false,
                 win::kErrorAccessDenied, win::kErrorInvalidWindowHandle);
        return m_inner.PostMessage(window, message, wParam, lParam);
    }
    bool CreateProcess(const std::wstring* application, const std::wstring& commandLine,
                       const platform::StartupOptions& startup,
                       platform::ProcessInfo* info) override {
        CV_FAULT(L"CreateProcess", commandLine, true, false, win::kErrorFileNotFound,
                 win::kErrorAccessDenied);
        return m_inner.CreateProcess(application, commandLine, startup, info);
    }
    uint32_t WaitForSingleObject(platform::KernelHandle handle, uint32_t milliseconds) override {
        CV_FAULT(L"WaitForSingleObject", kNone, false, win::kWaitFailed, win::kErrorInvalidHandle);
        return m_inner.WaitForSingleObject(handle, milliseconds);
    }
    bool GetExitCodeProcess(platform::KernelHandle process, uint32_t* exitCode) override {
        CV_FAULT(L"GetExitCodeProcess", kNone, false, false, win::kErrorInvalidHandle);
        return m_inner.GetExitCodeProcess(process, exitCode);
    }
    platform::ModuleHandle LoadLibrary(const std::wstring& path) override {
        CV_FAULT(L"LoadLibrary", path, false, platform::ModuleHandle(), win::kErrorModNotFound,
                 win::kErrorAccessDenied);
        return m_inner.LoadLibrary(path);
    }
    platform::ModuleHandle LoadLibraryEx(const std::wstring& path, uint32_t flags) override {
        CV_FAULT(L"LoadLibraryEx", path, false, platform::ModuleHandle(), win::kErrorModNotFound,
                 win::kErrorAccessDenied);
        return m_inner.LoadLibraryEx(path, flags);
    }
    platform::ProcAddress GetProcAddress(platform::ModuleHandle module,
                                         const std::string& name) override {
        CV_FAULT(L"GetProcAddress", base::FromUtf8(name), false, platform::ProcAddress(0),
                 win::kErrorProcNotFound);
        return m_inner.GetProcAddress(module, name);
    }
    int32_t CallNoArgumentProc(platform::ProcAddress proc) override {
        CV_FAULT_STATUS(L"CallNoArgumentProc", kNone, true, ResultOf, win::kErrorAccessDenied);
        return m_inner.CallNoArgumentProc(proc);
    }
    bool OpenProcessToken(uint32_t access, platform::KernelHandle* token) override {
        CV_FAULT(L"OpenProcessToken", kNone, false, false, win::kErrorAccessDenied);
        return m_inner.OpenProcessToken(access, token);
    }
    bool LookupPrivilegeValue(const std::wstring& name, platform::Luid* luid) override {
        CV_FAULT(L"LookupPrivilegeValue", name, false, false, win::kErrorNoSuchPrivilege);
        return m_inner.LookupPrivilegeValue(name, luid);
    }
    bool AdjustTokenPrivilege(platform::KernelHandle token, const platform::Luid& luid,
                              uint32_t attributes) override {
        CV_FAULT(L"AdjustTokenPrivilege", kNone, true, false, win::kErrorAccessDenied);
        return m_inner.AdjustTokenPrivilege(token, luid, attributes);
    }
    bool ExitWindowsEx(uint32_t flags, uint32_t reason) override {
        CV_FAULT(L"ExitWindowsEx", kNone, true, false, win::kErrorPrivilegeNotHeld);
        return m_inner.ExitWindowsEx(flags, reason);
    }

private:
    platform::System& m_system;
    FaultPlan& m_plan;
};

class FaultHotfixes : public platform::HotfixEnumerator {
public:
    FaultHotfixes(std::unique_ptr<platform::HotfixEnumerator> inner, FaultPlan& plan)
        : m_inner(std::move(inner)), m_plan(plan) {}
    platform::WmiNext Next(uint32_t timeoutMs, platform::HotfixId* id) override {
        const FaultPlan::Decision d = m_plan.Enter(L"HotfixEnumerator::Next", kNone, false, {});
        if (d.fail) {
            m_failed = true;
            return platform::WmiNext::Failed;
        }
        m_failed = false;
        const StopAfter stop(m_plan, d.stopAfter);
        return m_inner->Next(timeoutMs, id);
    }
    int32_t LastResult() const override {
        return m_failed ? kRpcUnavailable : m_inner->LastResult();
    }

private:
    std::unique_ptr<platform::HotfixEnumerator> m_inner;
    FaultPlan& m_plan;
    bool m_failed = false;
};

class FaultWmi : public platform::ForwardingWmi {
public:
    FaultWmi(platform::Wmi& inner, FaultPlan& plan) : ForwardingWmi(inner), m_plan(plan) {}
    int32_t QueryHotfixes(platform::WmiStage* failedStage,
                          std::unique_ptr<platform::HotfixEnumerator>* results) override {
        const FaultPlan::Decision d = m_plan.Enter(L"QueryHotfixes", kNone, false, {});
        if (d.fail) {
            *failedStage = platform::WmiStage::Connect;
            return kWbemAccessDenied;
        }
        const StopAfter stop(m_plan, d.stopAfter);
        std::unique_ptr<platform::HotfixEnumerator> made;
        const int32_t result = m_inner.QueryHotfixes(failedStage, &made);
        if (made) {
            *results = std::make_unique<FaultHotfixes>(std::move(made), m_plan);
        }
        return result;
    }

private:
    FaultPlan& m_plan;
};

// Dialogs and boxes are not the machine and are not counted; once the run has stopped no
// further page or box appears, so that the program unwinds.
class FaultUi : public platform::ForwardingUi {
public:
    FaultUi(platform::Ui& inner, platform::System& system, FaultPlan& plan)
        : ForwardingUi(inner), m_system(system), m_plan(plan) {}
    intptr_t DialogBox(int templateId, platform::DialogProcedure* procedure) override {
        if (m_plan.Dead()) {
            m_system.SetLastError(kDeadError);
            return -1;
        }
        return m_inner.DialogBox(templateId, procedure);
    }
    int MessageBox(platform::WindowHandle owner, const std::wstring& text,
                   const std::wstring& caption, uint32_t flags) override {
        if (m_plan.Dead()) {
            m_system.SetLastError(kDeadError);
            return 0;
        }
        return m_inner.MessageBox(owner, text, caption, flags);
    }

private:
    platform::System& m_system;
    FaultPlan& m_plan;
};

}  // namespace

struct FaultPlatform::Ports {
    Ports(platform::Platform& inner, FaultPlan& plan)
        : registry(inner.registry, plan),
          files(inner.files, inner.system, plan),
          volumes(inner.volumes, inner.system, plan),
          shell(inner.shell, inner.system, plan),
          system(inner.system, plan),
          processes(inner.processes, inner.system, plan),
          wmi(inner.wmi, plan),
          ui(inner.ui, inner.system, plan) {}
    FaultRegistry registry;
    FaultFiles files;
    FaultVolumes volumes;
    FaultShell shell;
    FaultSystem system;
    FaultProcesses processes;
    FaultWmi wmi;
    FaultUi ui;
};

FaultPlatform::FaultPlatform(platform::Platform& inner, FaultPlan& plan)
    : m_ports(std::make_unique<Ports>(inner, plan)) {
    m_platform.reset(new platform::Platform{m_ports->registry, m_ports->files, m_ports->volumes,
                                            m_ports->shell, m_ports->system, m_ports->processes,
                                            m_ports->wmi, m_ports->ui});
}

FaultPlatform::~FaultPlatform() = default;

}  // namespace faults
