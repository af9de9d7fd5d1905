#include "SimSysFileAccess.h"

#include <vector>

#include "sim/Machine.h"

namespace sim {
namespace sysfiles {

namespace {

// Restores the thread's last-error value on the machine when it goes out of scope.
class KeepLastError {
public:
    explicit KeepLastError(Machine& machine) : machine_(machine), saved_(machine.LastError()) {}
    ~KeepLastError() { machine_.SetLastError(saved_); }
    KeepLastError(const KeepLastError&) = delete;
    KeepLastError& operator=(const KeepLastError&) = delete;

private:
    Machine& machine_;
    uint32_t saved_;
};

uint32_t Attributes(Machine& machine, const std::wstring& path) {
    return machine.platform().files.GetFileAttributes(path);
}

}  // namespace

bool IsFolder(Machine& machine, const std::wstring& path) {
    KeepLastError keep(machine);
    uint32_t attributes = Attributes(machine, path);
    return attributes != win::kInvalidFileAttributes &&
           (attributes & win::kFileAttributeDirectory) != 0;
}

bool IsFile(Machine& machine, const std::wstring& path) {
    KeepLastError keep(machine);
    uint32_t attributes = Attributes(machine, path);
    return attributes != win::kInvalidFileAttributes &&
           (attributes & win::kFileAttributeDirectory) == 0;
}

std::wstring ParentFolder(const std::wstring& path) {
    size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos) {
        return std::wstring();
    }
    // Keep the backslash of a drive root ("C:\").
    if (slash == 2 && path.size() > 1 && path[1] == L':') {
        return path.substr(0, 3);
    }
    return path.substr(0, slash);
}

bool MakeFolders(Machine& machine, const std::wstring& path, uint32_t* error) {
    KeepLastError keep(machine);
    *error = 0;
    std::wstring folder = path;
    while (folder.size() > 3 && folder.back() == L'\\') {
        folder.pop_back();
    }
    // Collect the missing levels from the deepest up, then create them top-down.
    std::vector<std::wstring> missing;
    std::wstring current = folder;
    while (!current.empty()) {
        uint32_t attributes = Attributes(machine, current);
        if (attributes != win::kInvalidFileAttributes) {
            if ((attributes & win::kFileAttributeDirectory) == 0) {
                *error = missing.empty() ? win::kErrorAlreadyExists : win::kErrorPathNotFound;
                return false;
            }
            break;
        }
        missing.push_back(current);
        std::wstring parent = ParentFolder(current);
        if (parent == current) {
            break;
        }
        current = parent;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (!machine.platform().files.CreateDirectory(*it)) {
            uint32_t failure = machine.LastError();
            if (failure == win::kErrorAlreadyExists && IsFolder(machine, *it)) {
                continue;
            }
            *error = failure != 0 ? failure : win::kErrorPathNotFound;
            return false;
        }
    }
    return true;
}

bool WriteWholeFile(Machine& machine, const std::wstring& path, const std::string& bytes,
                    uint32_t* error) {
    KeepLastError keep(machine);
    *error = 0;
    platform::Files& files = machine.platform().files;
    FileHandle file = files.CreateFile(path, win::kGenericWrite, 0, win::kCreateAlways,
                                       win::kFileAttributeNormal);
    if (!file) {
        *error = machine.LastError();
        return false;
    }
    uint32_t written = 0;
    bool ok = files.WriteFile(file, bytes.data(), static_cast<uint32_t>(bytes.size()), &written) &&
              written == bytes.size();
    if (!ok) {
        *error = machine.LastError() != 0 ? machine.LastError() : win::kErrorDiskFull;
    }
    files.CloseHandle(file);
    return ok;
}

bool ReadWholeFile(Machine& machine, const std::wstring& path, std::string* bytes) {
    KeepLastError keep(machine);
    bytes->clear();
    platform::Files& files = machine.platform().files;
    FileHandle file = files.CreateFile(path, win::kGenericRead, win::kFileShareRead,
                                       win::kOpenExisting, win::kFileAttributeNormal);
    if (!file) {
        return false;
    }
    uint64_t size = 0;
    bool ok = files.GetFileSize(file, &size) && size <= 16u * 1024u * 1024u;
    if (ok) {
        bytes->resize(static_cast<size_t>(size));
        uint32_t read = 0;
        ok = size == 0 || (files.ReadFile(file, &(*bytes)[0], static_cast<uint32_t>(size), &read) &&
                           read == size);
    }
    files.CloseHandle(file);
    if (!ok) {
        bytes->clear();
    }
    return ok;
}

std::wstring ModulePath(Machine& machine) {
    KeepLastError keep(machine);
    std::wstring path;
    if (!machine.platform().files.GetModuleFileName(&path)) {
        return std::wstring();
    }
    return path;
}

}  // namespace sysfiles
}  // namespace sim
