// The owner and organisation registered with Windows, read the same way by the User
// Information page (as its proposals) and by the silent run (as the names it installs
// with).
#pragma once

#include <string>

#include "platform/Registry.h"

// Where Windows keeps them, under HKEY_LOCAL_MACHINE.
constexpr const wchar_t kWindowsNtCurrentVersionKey[] =
    L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr const wchar_t kRegisteredOwnerValue[] = L"RegisteredOwner";
constexpr const wchar_t kRegisteredOrganizationValue[] = L"RegisteredOrganization";

// A text value read with SHGetValueW into a zero-filled buffer of 256 bytes, which holds at
// most 127 characters and their terminator. The value's type is not examined; the text
// runs to the first null character. A text that does not fit gives an empty text, as a
// missing value does: a value of 128 characters or more with its terminator is refused by
// SHGetValueW (ERROR_MORE_DATA, nothing copied), and one stored without a terminator that
// fills all 256 bytes leaves no terminator in the buffer, so it is too long as well.
std::wstring ReadRegisteredText(platform::Registry& registry, const std::wstring& value);
