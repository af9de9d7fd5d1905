// The install log an administrator asks for with -log:"path": a text file a person can read,
// written and flushed line by line as the run goes, so that a run that hangs shows its last
// step. It holds a header (program, version, command line, Windows, start time), one line
// per check outcome, page, install step and result, every change the program makes to the
// machine (recorded by the port decorator of Setup/flow/LoggedPorts.h), every message box
// with its answer, and the exit code.
//
// The file is UTF-8 with a byte-order mark and CR LF line ends: Notepad on Windows XP reads
// UTF-8 only when the mark is there (without it, it takes the bytes for the ANSI code
// page), while UTF-8 keeps the mostly ASCII text half the size of UTF-16 and readable by the
// tools that collect logs from many machines. Every line is
//
//   2024-03-04 09:30:00.050  Category  text
//
// with the local time and a category padded to 8 characters (Setup, Check, Page, Config,
// Step, Folder, File, Registry, Profile, Link, Process, Library, Volume, Restart, Box,
// Exit). Texts from the machine (paths, values, box texts) are quoted; characters that would
// break the line or mislead the reader (control characters, line and paragraph separators,
// direction overrides, unpaired surrogates) are written as <CR>, <LF>, <TAB> or <U+XXXX>.
//
// A log that cannot be written never changes the run: when the file cannot be made, or a
// write fails, the run goes on as it would without -log. Writing a line keeps the thread's
// last-error value as it was. The password is never written: the configuration's password
// is concealed, a text value that contains it is shown as (hidden), and the password hash
// in prefs.dat is shown as (password hash, not shown).
//
// The log has no lock. Its writers are ordered by the program's flow as the installer
// settings are: the main thread writes until it starts the install worker and again after
// the worker's completion message; the worker writes in between.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Platform.h"

class CInstallLog {
public:
    // |system| and |files| are the ports the log writes its own file with (not recorded).
    CInstallLog(platform::System& system, platform::Files& files);
    ~CInstallLog();
    CInstallLog(const CInstallLog&) = delete;
    CInstallLog& operator=(const CInstallLog&) = delete;

    // Creates the log at |path|, or empties an earlier install log that is there, and writes
    // the byte-order mark. Any other file is left alone: a file that is not empty and does
    // not start like an install log of this program (a mistyped -log: naming the
    // configuration file or one of the product's files on a share would destroy it for every
    // later installation), and a link, a folder or a file with more than one hard link (setup
    // runs as administrator; a link planted in a shared folder would otherwise have it
    // overwrite another file). False, and the log stays off, when the file cannot be made or
    // is left alone.
    bool Open(const std::wstring& path);
    bool IsOn() const { return static_cast<bool>(m_file); }
    // Writes nothing more and closes the file.
    void Close();

    // The installation is about to write, move or delete |path|, or make a folder there.
    // When that is the log's own file (the same file, whatever name leads to it: a -log:
    // that names prefs.dat, a product file or the driver's target), the log gives way so
    // that it never changes what is installed: it ends, and what it did to the file is
    // taken back (a file it made is deleted, a file it emptied is left empty), so that the
    // installation finds the path as it would have without the log. True when it gave way.
    bool GiveWayTo(const std::wstring& path);

    // One line: the local time, |category| and |text| (written as given; use LogQuote for
    // texts from the machine). Nothing happens while the log is off; a failed write is not
    // retried and changes nothing else.
    void Write(const wchar_t* category, const std::wstring& text);

    // -suppressmsgboxes: every message box is answered with its default button instead of
    // being shown (see Setup/flow/LoggedPorts.h). Independent of the file.
    void SetSuppressMessageBoxes(bool suppress) { m_bSuppressMessageBoxes = suppress; }
    bool SuppressesMessageBoxes() const { return m_bSuppressMessageBoxes; }

    // A text that must never appear in the log (the password). Empty texts are ignored.
    void Conceal(const std::wstring& secret);
    // |value| quoted (LogQuote), or "(hidden)" when it contains a concealed text.
    std::wstring Data(const std::wstring& value) const;

    // Operations that failed since the log opened, as the decorator counts them; a step's
    // result line tells how many of them failed during the step.
    void CountFailure() { ++m_nFailures; }
    uint32_t FailureCount() const { return m_nFailures; }

private:
    platform::System& m_system;
    platform::Files& m_files;
    platform::FileHandle m_file;
    // The file's path as given, its identity, and whether the log made it.
    std::wstring m_path;
    platform::FileInformation m_identity;
    bool m_bMadeTheFile = false;
    bool m_bSuppressMessageBoxes = false;
    uint32_t m_nFailures = 0;
    std::vector<std::wstring> m_secrets;
};

// Writes a line when |log| is not null.
void WriteLog(CInstallLog* log, const wchar_t* category, const std::wstring& text);

// |text| in double quotation marks, with <CR>, <LF>, <TAB> and <U+XXXX> for the characters
// the header names; nothing is cut.
std::wstring LogQuote(const std::wstring& text);

// A Windows error code as the log shows it: "ok" for 0, else "error 5 (access denied)" (the
// name only for the codes the program meets).
std::wstring ErrorText(uint32_t error);
// An HRESULT: "ok" for S_OK, else its hexadecimal value, with the Windows error it carries
// ("0x80070005 = error 5 (access denied)").
std::wstring HresultText(int32_t hr);

// A registry value as the log shows it: its type and data, such as REG_SZ "text",
// REG_DWORD 0x00000001, REG_MULTI_SZ ["a", "b"] or REG_BINARY 01 02 ... (N bytes). Strings
// that lack their terminator or have an odd size say so; texts pass through |log|'s Data
// (when |log| is given) so that a concealed text is hidden; data of unknown types show as
// bytes. Long data are shown in part, with their size.
std::wstring RegistryDataText(const CInstallLog* log, uint32_t type, const void* data,
                              uint32_t size);

// "YYYY-MM-DD HH:MM:SS.mmm".
std::wstring FormatLogTime(const platform::SystemTime& time);
