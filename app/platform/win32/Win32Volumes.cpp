// Volumes adapter: drive types, file-system and volume names, volume enumeration and
// device I/O control. Name buffers have the size the caller chose.
#include "win32/Win32Util.h"

#include "win32/Adapters.h"

namespace win32 {

namespace {

using DeviceIoControlFunction = BOOL(WINAPI*)(HANDLE, DWORD, LPVOID, DWORD, LPVOID, DWORD, LPDWORD,
                                              LPOVERLAPPED);

}  // namespace

uint32_t Win32Volumes::GetDriveType(const std::wstring& root) {
    return ::GetDriveTypeW(root.c_str());
}

bool Win32Volumes::GetVolumeFileSystemName(const std::wstring& root, uint32_t bufferChars,
                                           std::wstring* fileSystem) {
    HeapBuffer<wchar_t> buffer;
    if (!buffer.Allocate(bufferChars)) {
        return false;
    }
    if (!::GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr, buffer.data(),
                                 bufferChars)) {
        return false;
    }
    if (fileSystem != nullptr) {
        *fileSystem = TextOf(buffer.data(), bufferChars);
    }
    return true;
}

bool Win32Volumes::GetVolumeNameForVolumeMountPoint(const std::wstring& mountPoint,
                                                    uint32_t bufferChars, std::wstring* name) {
    HeapBuffer<wchar_t> buffer;
    if (!buffer.Allocate(bufferChars)) {
        return false;
    }
    if (!::GetVolumeNameForVolumeMountPointW(mountPoint.c_str(), buffer.data(), bufferChars)) {
        return false;
    }
    if (name != nullptr) {
        *name = TextOf(buffer.data(), bufferChars);
    }
    return true;
}

VolumeFindHandle Win32Volumes::FindFirstVolume(std::wstring* name, uint32_t bufferChars) {
    HeapBuffer<wchar_t> buffer;
    if (!buffer.Allocate(bufferChars)) {
        return VolumeFindHandle();
    }
    const VolumeFindHandle find =
        FromWin32<VolumeFindHandle>(::FindFirstVolumeW(buffer.data(), bufferChars));
    if (find && name != nullptr) {
        *name = TextOf(buffer.data(), bufferChars);
    }
    return find;
}

bool Win32Volumes::FindNextVolume(VolumeFindHandle find, std::wstring* name, uint32_t bufferChars) {
    HeapBuffer<wchar_t> buffer;
    if (!buffer.Allocate(bufferChars)) {
        return false;
    }
    if (!::FindNextVolumeW(ToWin32<HANDLE>(find), buffer.data(), bufferChars)) {
        return false;
    }
    if (name != nullptr) {
        *name = TextOf(buffer.data(), bufferChars);
    }
    return true;
}

bool Win32Volumes::FindVolumeClose(VolumeFindHandle find) {
    return ::FindVolumeClose(ToWin32<HANDLE>(find)) != FALSE;
}

bool Win32Volumes::DeviceIoControl(FileHandle device, uint32_t code, const void* in,
                                   uint32_t inSize, void* out, uint32_t outSize,
                                   uint32_t* bytesReturned) {
    // Looked up for every request, as the program has always done, rather than imported.
    const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    const FARPROC proc = kernel != nullptr ? ::GetProcAddress(kernel, "DeviceIoControl") : nullptr;
    if (proc == nullptr) {
        ::SetLastError(ERROR_PROC_NOT_FOUND);
        return false;
    }
    const auto function = ProcAs<DeviceIoControlFunction>(proc);
    // Synchronous: without an OVERLAPPED structure the count argument is required.
    DWORD count = 0;
    const BOOL ok = function(ToWin32<HANDLE>(device), code, const_cast<void*>(in), inSize, out,
                             outSize, &count, nullptr);
    if (bytesReturned != nullptr) {
        *bytesReturned = count;
    }
    return ok != FALSE;
}

bool Win32Volumes::BlockAddress32(const void* block, uint32_t size, uint32_t* address) {
    // Always true in the 32-bit program; in a 64-bit build the block may lie higher, and a
    // cut address would name another block.
    const uint64_t start = static_cast<uint64_t>(reinterpret_cast<std::uintptr_t>(block));
    if (block == nullptr || start + size > 0x100000000ULL) {
        ::SetLastError(ERROR_INVALID_ADDRESS);
        return false;
    }
    if (address != nullptr) {
        *address = static_cast<uint32_t>(start);
    }
    return true;
}

}  // namespace win32
