// The prerequisite checks that run before any page (and, in a silent run, before anything is
// installed): the Windows version, a 32-bit Windows, no volume in Veil Mode, the required
// Windows updates on Vista and 7, the product's main interface not running, and finally the
// notification of the product's running Warden. They behave the same in both run modes:
// their message boxes appear in a silent run too.
#pragma once

#include <cstdint>
#include <string>

#include "Setup/flow/InstallerSettings.h"
#include "Setup/flow/SetupProcess.h"
#include "platform/Platform.h"

// The single-instance mutex of the product's main interface (Corvane.exe creates it; setup
// only probes it and never keeps a handle).
constexpr const wchar_t kMainInterfaceMutex[] = L"Global\\{A3C5E7F9-1B2D-4E6F-8091-A2B3C4D5E6F7}";
// The title of the Warden's top-level window (its class is not looked at) and the message it
// is sent, synchronously, with wParam and lParam 0 (WM_USER + 123).
constexpr const wchar_t kWardenWindowTitle[] = L"Corvane Warden Window";
constexpr uint32_t kWardenNotifyMessage = 1147;

// The updates asked about: on Windows Vista / Server 2008, and on Windows 7 / Server 2008 R2
// (any one of the three will do, asked in this order).
constexpr const wchar_t kVistaUpdate[] = L"KB2763674";
constexpr const wchar_t* const kWindows7Updates[] = {L"KB3033929", L"KB3185278", L"KB3125574"};

// The product's version text, "1.4.0.672" (VersionText once the version test has passed).
std::wstring ProductVersionText();

// How the checks run: for an installation, or for a check-only run (-check), which runs the
// same checks on the same data and only reports: no box is shown and the Warden is not told.
enum class ChecksMode {
    Install,
    CheckOnly,
};

// The checks in order; the first refusal ends them. Each refusal shows its message (by
// string id, with the program's title as caption) and sets |exitCode|:
//
//   Windows 2000 or older, or 64-bit Windows      144  kExitUnsupportedWindows (1633)
//   a volume in Veil Mode                          145  kExitVeilMode (19)
//   No to a missing update's question              158 / 159  kExitCancelled (1602)
//   the product's main interface is running        146  kExitMainInterfaceRunning (32)
//
// Sets settings.VersionText once the version test has passed. True when setup may go on;
// |exitCode| is then left as it was. Each outcome is a line of the install log, when the
// process has one. Main thread only (the update query needs its COM).
//
// ChecksMode::CheckOnly shows none of the boxes. Where an installation would ask about a
// missing update, it logs the question and goes on as a Yes would: a later refusal sets
// its own code, and otherwise |exitCode| is kExitUpdatesMissing (1150). The Warden is not
// looked for. True only when an installation would go on without a question.
bool RunPrerequisiteChecks(platform::Platform& platform, InstallerSettings& settings,
                           const SetupProcess& process, uint32_t* exitCode,
                           ChecksMode mode = ChecksMode::Install);

// True when some eligible volume among C: to Z: (IsEligibleVolume), in alphabetical order,
// answers the volume state query with Veil Mode; it stops at the first, whose letter goes
// to |veiledLetter| when given. A failed query counts as not veiled; A: and B: are never
// looked at.
bool IsAnyVolumeVeiled(platform::Platform& platform, int32_t controlCodeBase,
                       wchar_t* veiledLetter = nullptr);
