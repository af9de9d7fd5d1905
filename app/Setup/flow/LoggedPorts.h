// The ports as the program sees them. Every call goes through to the platform underneath
// unchanged (result, last-error value, order); on top of that:
//
//   - while the install log is on (Setup/flow/InstallLog.h), the calls that change the
//     machine are recorded with their result: files copied, moved, deleted, opened for
//     writing, their attributes; folders created; registry values written and deleted;
//     profile (INI) values written; shell links saved; processes started, waited for and
//     their exit codes; libraries loaded and their functions called; the shutdown privilege
//     and the restart request;
//   - every message box is recorded before it is shown (so that a run waiting for an answer
//     shows it) and with its answer; with -suppressmsgboxes it is not shown at all but
//     answered at once with its default button.
//
// Beneath the record, the log gives way to the installation: a call that would write,
// move or delete the log's own file ends the log first (Setup/flow/LogGivesWay.h).
//
// What only reads the machine (queries, the volumes, the driver's replies, WMI) and the
// system services (threads, the clock) are passed through without a record. The entry point
// puts this layer between the program and the real platform for every run; with the log
// off and boxes not suppressed it changes nothing at all.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "Setup/flow/InstallLog.h"
#include "platform/Platform.h"

class CLoggedPorts {
public:
    CLoggedPorts(platform::Platform& inner, CInstallLog& log);
    ~CLoggedPorts();
    CLoggedPorts(const CLoggedPorts&) = delete;
    CLoggedPorts& operator=(const CLoggedPorts&) = delete;

    // The ports the program works with.
    platform::Platform& Ports();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// The button a message box with |flags| has as its default: the one MB_DEFBUTTON1 to 4
// names among the buttons of its type (OK; OK, Cancel; Abort, Retry, Ignore; Yes, No,
// Cancel; Yes, No; Retry, Cancel; Cancel, Try Again, Continue), the first when it names
// none of them (or the Help button, which answers nothing). IDOK for an unknown type.
int DefaultMessageBoxAnswer(uint32_t flags);

// "Yes, No" for a box's buttons; "Yes" for an answer (IDYES...), "none" for 0.
std::wstring MessageBoxButtonsText(uint32_t flags);
std::wstring MessageBoxAnswerText(int answer);
