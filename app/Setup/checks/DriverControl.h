// The control channel to a loaded protection driver: the 136-byte request record, the
// control codes, the bracketing commands and the queries that the checks, the control-code
// base and the volume marker use.
//
// While the driver cvflt is loaded it offers the control device \\.\VfControl and sits in
// every volume's device stack. Each routine here opens its own handle, sends one request
// and closes the handle again; nothing stays open between requests. When a routine fails,
// the thread's last-error value holds the error of the call that failed (the open or the
// request), restored after any handle was closed.
//
// Request record, little-endian, the same 136 bytes passed as input and as output:
//
//   offset 0    4 bytes   magic "cvfl" (0x6C667663)
//   offset 4    4 bytes   command number
//   offset 8  128 bytes   command data in the request, reply data in the reply
//
// Commands:
//
//   0     QueryDriverGuid    control device, fixed code; reply 8..135: the install GUID text
//                            in UTF-16LE
//   201   BeginDriverAccess  control device, variable code
//   202   EndDriverAccess    control device, variable code
//   1000  QueryVolumeState   a volume, variable code; reply 8: overlay number, 12: raw state
//   1003  volume header      a volume, variable code; request 8: 32-bit address of a
//                            512-byte block, 12: 512
//
// The fixed code 0x800030A0 is device type 0x8000, function 0xC28, buffered, any access.
// The variable code is ControlCodeBase + 0x800025E4 in unsigned 32-bit arithmetic (device
// type 0x8000, function 0x979 + ControlCodeBase / 4, buffered, any access).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Platform.h"

// The driver's name and its service key under HKEY_LOCAL_MACHINE.
constexpr const wchar_t kDriverName[] = L"cvflt";
constexpr const wchar_t kDriverServiceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\cvflt";

// The driver's control device.
constexpr const wchar_t kDriverControlDevice[] = L"\\\\.\\VfControl";

constexpr uint32_t kDriverRequestMagic = 0x6C667663;  // "cvfl"
constexpr uint32_t kDriverRequestSize = 136;
constexpr uint32_t kDriverRequestDataOffset = 8;
constexpr uint32_t kDriverGuidBytes = kDriverRequestSize - kDriverRequestDataOffset;  // 128

constexpr uint32_t kFixedControlCode = 0x800030A0;
constexpr uint32_t kVariableControlCodeBase = 0x800025E4;

enum DriverCommand : uint32_t {
    kQueryDriverGuidCommand = 0,
    kBeginDriverAccessCommand = 201,
    kEndDriverAccessCommand = 202,
    kQueryVolumeStateCommand = 1000,
    kVolumeHeaderCommand = 1003,
};

// One request record: zero-filled, with the magic and the command set. Fields are read and
// written little-endian at their byte offsets, whatever the processor.
class DriverRequest {
public:
    explicit DriverRequest(uint32_t command);

    uint32_t Field(size_t offset) const;
    void SetField(size_t offset, uint32_t value);

    uint8_t* Bytes() { return bytes_; }
    const uint8_t* Bytes() const { return bytes_; }

private:
    uint8_t bytes_[kDriverRequestSize];
};

// What QueryVolumeState reports of a volume.
struct VolumeState {
    // The driver's overlay device for the volume (\\.\VfVeil<hex>), from reply offset 8.
    uint32_t overlayNumber = 0;
    // From the raw state at reply offset 12: raw 2 -> 1 (Veil Mode), 3 -> 2, 4 -> 3, any
    // other raw value -> 0. Only 1 is acted upon.
    int32_t state = 0;
};
constexpr int32_t kVolumeVeiled = 1;

int32_t VolumeStateFromRaw(uint32_t raw);

// ControlCodeBase + 0x800025E4, in unsigned 32-bit arithmetic.
uint32_t VariableControlCode(int32_t controlCodeBase);

// The device path of a drive letter: "\\.\C:" for 'C'. The letter is used as given.
std::wstring VolumeDevicePath(wchar_t letter);

// Opens a device the way every request of the channel does: FILE_READ_ATTRIBUTES, sharing
// read and write, existing only, normal attributes.
platform::FileHandle OpenDriverDevice(platform::Platform& platform, const std::wstring& path);

// Sends |request| (in and out, 136 bytes each) on |device| with |code|; DeviceIoControl is
// looked up by name for the request. On failure the last-error value is the request's.
bool SendDriverRequest(platform::Platform& platform, platform::FileHandle device, uint32_t code,
                       DriverRequest& request);

// Command 0 on the control device with the fixed code. On success the reply's bytes 8 to
// 135 (the GUID text as UTF-16LE, taken as it is) are copied into |text|, which must hold
// kDriverGuidBytes bytes.
bool QueryDriverGuid(platform::Platform& platform, uint8_t* text);

// Commands 201 and 202 on the control device with the variable code.
bool BeginDriverAccess(platform::Platform& platform, int32_t controlCodeBase);
bool EndDriverAccess(platform::Platform& platform, int32_t controlCodeBase);

// Command 1000 on the volume's device path, bracketed by 201 just before the request and
// 202 just after it, whatever the outcome (the bracketing's results change nothing). On
// failure the last-error value is the open's or the volume request's error.
bool QueryVolumeState(platform::Platform& platform, int32_t controlCodeBase,
                      const std::wstring& volumePath, VolumeState* state);
// The same for a drive letter (its device path is VolumeDevicePath(letter)).
bool QueryVolumeState(platform::Platform& platform, int32_t controlCodeBase, wchar_t letter,
                      VolumeState* state);

// The base of the variable control code, as the process computes it once before the
// application starts: 4 x the sum of the UTF-16 code units at positions 20 to 23 of the
// install GUID text, read into a zero-filled buffer of 256 units - from the loaded driver
// (QueryDriverGuid) or, when that fails, from the REG_SZ value "GUID" of the driver's
// service key (SHGetValueW, 512 bytes). When both fail the base is 0 and the last-error
// value is the registry read's status. For a GUID written by the installation
// ({xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}, lower-case digits) these are the four digits of
// the fourth group, so the base lies between 768 and 1632.
int32_t ComputeControlCodeBase(platform::Platform& platform);
