// Identifiers of the setup program's resources (Setup.rc). Plain numbers, so that both the
// resource compiler and C++ code can include this header without <windows.h>.
#pragma once

// Wizard pages (dialog templates, English and Simplified Chinese).
#define IDD_WELCOME 101
#define IDD_LICENSE 102
#define IDD_USERINFO 103
#define IDD_ADDITIONALTASK 104
#define IDD_READY 105
#define IDD_RUNNING 106
#define IDD_FINISH 107
#define IDD_STARTMENUFOLDER 136

// Images: the application icon and the bitmaps of the pages.
#define IDR_MAINFRAME 128
#define IDB_WELCOME 129
#define IDB_HEADER 130

// Controls of the pages. Cancel is the system's IDCANCEL (2) on every page.
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
#define IDC_NEXT 1000
#define IDC_BACK 1001
#define IDC_TITLE 1002
#define IDC_SUBTITLE 1003
#define IDC_HEADERLINE 1004
#define IDC_LICENSE_TEXT 1005
#define IDC_ACCEPT 1006
#define IDC_USERNAME 1007
#define IDC_ORGANIZATION 1008
#define IDC_DESKTOPICON 1009  // Select Additional Tasks page
#define IDC_SUMMARY 1009      // Ready to Install page
#define IDC_QUICKLAUNCH 1010
#define IDC_STATUS 1011
#define IDC_PROGRESS 1012
#define IDC_RESTART_YES 1013
#define IDC_RESTART_NO 1014
#define IDC_FOLDERLIST 1015
#define IDC_FOLDER 1016

// The program's messages (string table, English and Simplified Chinese).
#define IDS_EXIT_SETUP 140        // Cancel on any page: exit Setup? (OK / Cancel)
#define IDS_COPY_FILE_FAILED 141  // the driver file could not be copied
#define IDS_OS_NOT_SUPPORTED 144  // environment check: unsupported system
#define IDS_VEIL_MODE 145         // environment check: the system is in Veil Mode
#define IDS_CLOSE_MAIN_UI 146     // environment check: the product is running
#define IDS_STATUS_COPYING 147    // status lines of the Installing page
#define IDS_STATUS_REGISTRY 148
#define IDS_STATUS_SHORTCUTS 149
#define IDS_STATUS_REGISTERING 150
#define IDS_STATUS_INITIALIZING 151
#define IDS_SUMMARY_USERINFO 152  // summary of the Ready to Install page
#define IDS_SUMMARY_STARTMENU 153
#define IDS_SUMMARY_TASKS 154
#define IDS_SUMMARY_ICONS 155
#define IDS_SUMMARY_DESKTOPICON 156
#define IDS_SUMMARY_QUICKLAUNCH 157
#define IDS_HOTFIX_KB2763674 158  // required-update check (Yes / No)
#define IDS_HOTFIX_KB3185278 159
#define IDS_COMMAND_LINE_HELP 160  // -? and -help: the options and the exit codes (OK)

// Standard framework message, English only: "Enter no more than %1 characters."
#define IDS_PARSE_STRING_SIZE 61716
