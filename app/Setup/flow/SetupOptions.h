// The command line: what it asks for and how its options are read.
#pragma once

#include <string>
#include <vector>

#include "platform/Platform.h"

// What the command line asks for.
struct SetupOptions {
    // "-silent" or "/silent": no pages, no restart.
    bool Silent = false;
    // "-config:PATH": the unattended configuration file (empty: none).
    std::wstring ConfigFile;
    // "-log:PATH": the install log (empty: none).
    std::wstring LogFile;
    // "-suppressmsgboxes": every message box answered with its default button, unseen.
    bool SuppressMessageBoxes = false;
    // "-check": the prerequisite checks only, without a box or a page; the exit code tells
    // whether an installation would go ahead. Wins over -silent and -config:.
    bool Check = false;
    // "-?" or "-help": the box that lists the options, before anything else; wins over all.
    bool Help = false;
};

// The command-line options. Argument 0 (the program) is never examined. Options may start
// with "-" or "/" and are matched ignoring case:
//   "-silent", "-suppressmsgboxes", "-check", "-?" and "-help" (whole argument) set their
//   flags;
//   an argument whose first 8 characters are "-config:", or whose first 5 are "-log:",
//   sets ConfigFile or LogFile to the rest, without a leading and a trailing run of double
//   quotes (quotes inside remain); a later one replaces an earlier one.
// Anything else is ignored. Fields not named are left as they are.
void ParseArguments(const std::vector<std::wstring>& args, SetupOptions* options);

// GetCommandLineW split by CommandLineToArgvW, then ParseArguments. When splitting fails
// nothing is set and false is returned.
bool ReadCommandLine(platform::Shell& shell, SetupOptions* options);
