// Handle and record types shared by the ports. Handles are opaque numbers issued by the
// port that opened them; a default-constructed handle is the "no handle" value (the ports
// report Win32's INVALID_HANDLE_VALUE and NULL both as this).
#pragma once

#include <cstdint>
#include <string>

namespace platform {

template <typename Tag>
struct Handle {
    std::uintptr_t value = 0;
    constexpr Handle() = default;
    constexpr explicit Handle(std::uintptr_t v) : value(v) {}
    constexpr explicit operator bool() const { return value != 0; }
    friend constexpr bool operator==(Handle a, Handle b) { return a.value == b.value; }
    friend constexpr bool operator!=(Handle a, Handle b) { return a.value != b.value; }
};

struct KeyTag {};
struct FileTag {};
struct FindTag {};
struct VolumeFindTag {};
struct KernelTag {};
struct ModuleTag {};
struct WindowTag {};
struct FontTag {};
struct BrushTag {};
struct IconTag {};
struct DcTag {};

using KeyHandle = Handle<KeyTag>;                // an open registry key (HKEY)
using FileHandle = Handle<FileTag>;              // a file or device (CreateFileW)
using FindHandle = Handle<FindTag>;              // a folder enumeration (FindFirstFileW)
using VolumeFindHandle = Handle<VolumeFindTag>;  // a volume enumeration (FindFirstVolumeW)
using KernelHandle = Handle<KernelTag>;          // mutex, process, thread or token
using ModuleHandle = Handle<ModuleTag>;          // a loaded library (HMODULE)
using WindowHandle = Handle<WindowTag>;          // a window (HWND)
using FontHandle = Handle<FontTag>;              // a GDI font (HFONT)
using BrushHandle = Handle<BrushTag>;            // a GDI brush (HBRUSH)
using IconHandle = Handle<IconTag>;              // an icon (HICON)
using DcHandle = Handle<DcTag>;                  // a device context (HDC)

// The predefined registry roots the program uses.
enum class Hive : uint32_t {
    ClassesRoot,
    CurrentUser,
    LocalMachine,
    Users,
};

struct Guid {
    uint32_t data1 = 0;
    uint16_t data2 = 0;
    uint16_t data3 = 0;
    uint8_t data4[8] = {};
};

}  // namespace platform
