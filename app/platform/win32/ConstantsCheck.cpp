// Compile-time check that every constant of platform/WinConst.h equals the SDK's. The
// portable header comes first, before any SDK header, so that it cannot lean on them.
#include "platform/WinConst.h"
#include "platform/Wmi.h"

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <reason.h>
#include <richedit.h>
#include <shellapi.h>
#include <shlobj.h>
#include <wbemidl.h>
#include <winioctl.h>

namespace {

// Equal in value and in sign: an unsigned copy of a negative HRESULT (or the reverse)
// would compare equal after the usual conversions, but is still a wrong copy.
template <typename Ours, typename Sdk>
constexpr bool Same(Ours ours, Sdk sdk) {
    return static_cast<long long>(ours) == static_cast<long long>(sdk);
}

// Error codes (GetLastError, registry status).
static_assert(Same(win::kErrorSuccess, ERROR_SUCCESS), "win::kErrorSuccess");
static_assert(Same(win::kErrorInvalidFunction, ERROR_INVALID_FUNCTION),
              "win::kErrorInvalidFunction");
static_assert(Same(win::kErrorFileNotFound, ERROR_FILE_NOT_FOUND), "win::kErrorFileNotFound");
static_assert(Same(win::kErrorPathNotFound, ERROR_PATH_NOT_FOUND), "win::kErrorPathNotFound");
static_assert(Same(win::kErrorAccessDenied, ERROR_ACCESS_DENIED), "win::kErrorAccessDenied");
static_assert(Same(win::kErrorInvalidHandle, ERROR_INVALID_HANDLE), "win::kErrorInvalidHandle");
static_assert(Same(win::kErrorNotEnoughMemory, ERROR_NOT_ENOUGH_MEMORY),
              "win::kErrorNotEnoughMemory");
static_assert(Same(win::kErrorInvalidData, ERROR_INVALID_DATA), "win::kErrorInvalidData");
static_assert(Same(win::kErrorInvalidDrive, ERROR_INVALID_DRIVE), "win::kErrorInvalidDrive");
static_assert(Same(win::kErrorNoMoreFiles, ERROR_NO_MORE_FILES), "win::kErrorNoMoreFiles");
static_assert(Same(win::kErrorNotReady, ERROR_NOT_READY), "win::kErrorNotReady");
static_assert(Same(win::kErrorSharingViolation, ERROR_SHARING_VIOLATION),
              "win::kErrorSharingViolation");
static_assert(Same(win::kErrorHandleEof, ERROR_HANDLE_EOF), "win::kErrorHandleEof");
static_assert(Same(win::kErrorNotSupported, ERROR_NOT_SUPPORTED), "win::kErrorNotSupported");
static_assert(Same(win::kErrorFileExists, ERROR_FILE_EXISTS), "win::kErrorFileExists");
static_assert(Same(win::kErrorInvalidParameter, ERROR_INVALID_PARAMETER),
              "win::kErrorInvalidParameter");
static_assert(Same(win::kErrorDiskFull, ERROR_DISK_FULL), "win::kErrorDiskFull");
static_assert(Same(win::kErrorCallNotImplemented, ERROR_CALL_NOT_IMPLEMENTED),
              "win::kErrorCallNotImplemented");
static_assert(Same(win::kErrorInsufficientBuffer, ERROR_INSUFFICIENT_BUFFER),
              "win::kErrorInsufficientBuffer");
static_assert(Same(win::kErrorInvalidName, ERROR_INVALID_NAME), "win::kErrorInvalidName");
static_assert(Same(win::kErrorModNotFound, ERROR_MOD_NOT_FOUND), "win::kErrorModNotFound");
static_assert(Same(win::kErrorProcNotFound, ERROR_PROC_NOT_FOUND), "win::kErrorProcNotFound");
static_assert(Same(win::kErrorDirNotEmpty, ERROR_DIR_NOT_EMPTY), "win::kErrorDirNotEmpty");
static_assert(Same(win::kErrorDirectory, ERROR_DIRECTORY), "win::kErrorDirectory");
static_assert(Same(win::kErrorBadPathname, ERROR_BAD_PATHNAME), "win::kErrorBadPathname");
static_assert(Same(win::kErrorAlreadyExists, ERROR_ALREADY_EXISTS), "win::kErrorAlreadyExists");
static_assert(Same(win::kErrorBadExeFormat, ERROR_BAD_EXE_FORMAT), "win::kErrorBadExeFormat");
static_assert(Same(win::kErrorFilenameExcedRange, ERROR_FILENAME_EXCED_RANGE),
              "win::kErrorFilenameExcedRange");
static_assert(Same(win::kErrorMoreData, ERROR_MORE_DATA), "win::kErrorMoreData");
static_assert(Same(win::kErrorNoMoreItems, ERROR_NO_MORE_ITEMS), "win::kErrorNoMoreItems");
static_assert(Same(win::kErrorBadLength, ERROR_BAD_LENGTH), "win::kErrorBadLength");
static_assert(Same(win::kErrorInvalidFlags, ERROR_INVALID_FLAGS), "win::kErrorInvalidFlags");
static_assert(Same(win::kErrorNotAllAssigned, ERROR_NOT_ALL_ASSIGNED), "win::kErrorNotAllAssigned");
static_assert(Same(win::kErrorNoSuchPrivilege, ERROR_NO_SUCH_PRIVILEGE),
              "win::kErrorNoSuchPrivilege");
static_assert(Same(win::kErrorPrivilegeNotHeld, ERROR_PRIVILEGE_NOT_HELD),
              "win::kErrorPrivilegeNotHeld");
static_assert(Same(win::kErrorInvalidWindowHandle, ERROR_INVALID_WINDOW_HANDLE),
              "win::kErrorInvalidWindowHandle");
static_assert(Same(win::kErrorResourceNameNotFound, ERROR_RESOURCE_NAME_NOT_FOUND),
              "win::kErrorResourceNameNotFound");
static_assert(Same(win::kErrorControlIdNotFound, ERROR_CONTROL_ID_NOT_FOUND),
              "win::kErrorControlIdNotFound");
static_assert(Same(win::kErrorOldWinVersion, ERROR_OLD_WIN_VERSION), "win::kErrorOldWinVersion");
static_assert(Same(win::kErrorSuccessRebootInitiated, ERROR_SUCCESS_REBOOT_INITIATED),
              "win::kErrorSuccessRebootInitiated");
static_assert(Same(win::kErrorInstallUserexit, ERROR_INSTALL_USEREXIT),
              "win::kErrorInstallUserexit");
static_assert(Same(win::kErrorInstallFailure, ERROR_INSTALL_FAILURE), "win::kErrorInstallFailure");
static_assert(Same(win::kErrorInstallPlatformUnsupported, ERROR_INSTALL_PLATFORM_UNSUPPORTED),
              "win::kErrorInstallPlatformUnsupported");
static_assert(Same(win::kErrorSuccessRebootRequired, ERROR_SUCCESS_REBOOT_REQUIRED),
              "win::kErrorSuccessRebootRequired");

// HRESULTs (as signed 32-bit values).
static_assert(Same(win::kSOk, S_OK), "win::kSOk");
static_assert(Same(win::kSFalse, S_FALSE), "win::kSFalse");
static_assert(Same(win::kENotImpl, E_NOTIMPL), "win::kENotImpl");
static_assert(Same(win::kENoInterface, E_NOINTERFACE), "win::kENoInterface");
static_assert(Same(win::kEFail, E_FAIL), "win::kEFail");
static_assert(Same(win::kEAccessDenied, E_ACCESSDENIED), "win::kEAccessDenied");
static_assert(Same(win::kEInvalidArg, E_INVALIDARG), "win::kEInvalidArg");
static_assert(Same(win::kEOutOfMemory, E_OUTOFMEMORY), "win::kEOutOfMemory");
static_assert(Same(win::kRpcEChangedMode, RPC_E_CHANGED_MODE), "win::kRpcEChangedMode");
static_assert(Same(win::kRegdbEClassNotReg, REGDB_E_CLASSNOTREG), "win::kRegdbEClassNotReg");
// The WBEM status codes are enumerators of an unsigned enumeration; as the HRESULTs the
// methods return they are negative.
static_assert(Same(win::kWbemEFailed, static_cast<HRESULT>(WBEM_E_FAILED)), "win::kWbemEFailed");
static_assert(Same(win::kWbemEInvalidNamespace, static_cast<HRESULT>(WBEM_E_INVALID_NAMESPACE)),
              "win::kWbemEInvalidNamespace");
static_assert(Same(win::kWbemEInvalidQuery, static_cast<HRESULT>(WBEM_E_INVALID_QUERY)),
              "win::kWbemEInvalidQuery");

// Registry value types.
static_assert(Same(win::kRegNone, REG_NONE), "win::kRegNone");
static_assert(Same(win::kRegSz, REG_SZ), "win::kRegSz");
static_assert(Same(win::kRegExpandSz, REG_EXPAND_SZ), "win::kRegExpandSz");
static_assert(Same(win::kRegBinary, REG_BINARY), "win::kRegBinary");
static_assert(Same(win::kRegDword, REG_DWORD), "win::kRegDword");
static_assert(Same(win::kRegMultiSz, REG_MULTI_SZ), "win::kRegMultiSz");
static_assert(Same(win::kRegQword, REG_QWORD), "win::kRegQword");

// Registry key access rights.
static_assert(Same(win::kKeyQueryValue, KEY_QUERY_VALUE), "win::kKeyQueryValue");
static_assert(Same(win::kKeySetValue, KEY_SET_VALUE), "win::kKeySetValue");
static_assert(Same(win::kKeyCreateSubKey, KEY_CREATE_SUB_KEY), "win::kKeyCreateSubKey");
static_assert(Same(win::kKeyEnumerateSubKeys, KEY_ENUMERATE_SUB_KEYS), "win::kKeyEnumerateSubKeys");
static_assert(Same(win::kKeyRead, KEY_READ), "win::kKeyRead");
static_assert(Same(win::kKeyWrite, KEY_WRITE), "win::kKeyWrite");
static_assert(Same(win::kKeyAllAccess, KEY_ALL_ACCESS), "win::kKeyAllAccess");

// Shell special folder ids (CSIDL) and flags.
static_assert(Same(win::kCsidlPrograms, CSIDL_PROGRAMS), "win::kCsidlPrograms");
static_assert(Same(win::kCsidlPersonal, CSIDL_PERSONAL), "win::kCsidlPersonal");
static_assert(Same(win::kCsidlStartMenu, CSIDL_STARTMENU), "win::kCsidlStartMenu");
static_assert(Same(win::kCsidlDesktopDirectory, CSIDL_DESKTOPDIRECTORY),
              "win::kCsidlDesktopDirectory");
static_assert(Same(win::kCsidlCommonStartMenu, CSIDL_COMMON_STARTMENU),
              "win::kCsidlCommonStartMenu");
static_assert(Same(win::kCsidlCommonPrograms, CSIDL_COMMON_PROGRAMS), "win::kCsidlCommonPrograms");
static_assert(Same(win::kCsidlCommonDesktopDirectory, CSIDL_COMMON_DESKTOPDIRECTORY),
              "win::kCsidlCommonDesktopDirectory");
static_assert(Same(win::kCsidlAppData, CSIDL_APPDATA), "win::kCsidlAppData");
static_assert(Same(win::kCsidlLocalAppData, CSIDL_LOCAL_APPDATA), "win::kCsidlLocalAppData");
static_assert(Same(win::kCsidlCommonAppData, CSIDL_COMMON_APPDATA), "win::kCsidlCommonAppData");
static_assert(Same(win::kCsidlWindows, CSIDL_WINDOWS), "win::kCsidlWindows");
static_assert(Same(win::kCsidlSystem, CSIDL_SYSTEM), "win::kCsidlSystem");
static_assert(Same(win::kCsidlProgramFiles, CSIDL_PROGRAM_FILES), "win::kCsidlProgramFiles");
static_assert(Same(win::kCsidlFlagCreate, CSIDL_FLAG_CREATE), "win::kCsidlFlagCreate");

// File attributes, flags, access, sharing and creation dispositions.
static_assert(Same(win::kFileAttributeReadonly, FILE_ATTRIBUTE_READONLY),
              "win::kFileAttributeReadonly");
static_assert(Same(win::kFileAttributeHidden, FILE_ATTRIBUTE_HIDDEN), "win::kFileAttributeHidden");
static_assert(Same(win::kFileAttributeSystem, FILE_ATTRIBUTE_SYSTEM), "win::kFileAttributeSystem");
static_assert(Same(win::kFileAttributeDirectory, FILE_ATTRIBUTE_DIRECTORY),
              "win::kFileAttributeDirectory");
static_assert(Same(win::kFileAttributeArchive, FILE_ATTRIBUTE_ARCHIVE),
              "win::kFileAttributeArchive");
static_assert(Same(win::kFileAttributeNormal, FILE_ATTRIBUTE_NORMAL), "win::kFileAttributeNormal");
static_assert(Same(win::kFileAttributeCompressed, FILE_ATTRIBUTE_COMPRESSED),
              "win::kFileAttributeCompressed");
static_assert(Same(win::kInvalidFileAttributes, INVALID_FILE_ATTRIBUTES),
              "win::kInvalidFileAttributes");
static_assert(Same(win::kFileFlagWriteThrough, FILE_FLAG_WRITE_THROUGH),
              "win::kFileFlagWriteThrough");
static_assert(Same(win::kGenericRead, GENERIC_READ), "win::kGenericRead");
static_assert(Same(win::kGenericWrite, GENERIC_WRITE), "win::kGenericWrite");
static_assert(Same(win::kGenericAll, GENERIC_ALL), "win::kGenericAll");
static_assert(Same(win::kDelete, DELETE), "win::kDelete");
static_assert(Same(win::kFileReadData, FILE_READ_DATA), "win::kFileReadData");
static_assert(Same(win::kFileWriteData, FILE_WRITE_DATA), "win::kFileWriteData");
static_assert(Same(win::kFileReadAttributes, FILE_READ_ATTRIBUTES), "win::kFileReadAttributes");
static_assert(Same(win::kFileShareRead, FILE_SHARE_READ), "win::kFileShareRead");
static_assert(Same(win::kFileShareWrite, FILE_SHARE_WRITE), "win::kFileShareWrite");
static_assert(Same(win::kFileShareDelete, FILE_SHARE_DELETE), "win::kFileShareDelete");
static_assert(Same(win::kCreateNew, CREATE_NEW), "win::kCreateNew");
static_assert(Same(win::kCreateAlways, CREATE_ALWAYS), "win::kCreateAlways");
static_assert(Same(win::kOpenExisting, OPEN_EXISTING), "win::kOpenExisting");
static_assert(Same(win::kOpenAlways, OPEN_ALWAYS), "win::kOpenAlways");
static_assert(Same(win::kTruncateExisting, TRUNCATE_EXISTING), "win::kTruncateExisting");
static_assert(Same(win::kFileBegin, FILE_BEGIN), "win::kFileBegin");
static_assert(Same(win::kFileCurrent, FILE_CURRENT), "win::kFileCurrent");
static_assert(Same(win::kFileEnd, FILE_END), "win::kFileEnd");
static_assert(Same(win::kMovefileReplaceExisting, MOVEFILE_REPLACE_EXISTING),
              "win::kMovefileReplaceExisting");
static_assert(Same(win::kMovefileDelayUntilReboot, MOVEFILE_DELAY_UNTIL_REBOOT),
              "win::kMovefileDelayUntilReboot");
static_assert(Same(win::kMovefileWriteThrough, MOVEFILE_WRITE_THROUGH),
              "win::kMovefileWriteThrough");
static_assert(Same(win::kMaxPath, MAX_PATH), "win::kMaxPath");

// Drive types.
static_assert(Same(win::kDriveUnknown, DRIVE_UNKNOWN), "win::kDriveUnknown");
static_assert(Same(win::kDriveNoRootDir, DRIVE_NO_ROOT_DIR), "win::kDriveNoRootDir");
static_assert(Same(win::kDriveRemovable, DRIVE_REMOVABLE), "win::kDriveRemovable");
static_assert(Same(win::kSemFailCriticalErrors, SEM_FAILCRITICALERRORS), "SEM_FAILCRITICALERRORS");
static_assert(Same(win::kSemNoGpFaultErrorBox, SEM_NOGPFAULTERRORBOX), "SEM_NOGPFAULTERRORBOX");
static_assert(Same(win::kSemNoOpenFileErrorBox, SEM_NOOPENFILEERRORBOX), "SEM_NOOPENFILEERRORBOX");
static_assert(Same(win::kDriveFixed, DRIVE_FIXED), "win::kDriveFixed");
static_assert(Same(win::kDriveRemote, DRIVE_REMOTE), "win::kDriveRemote");
static_assert(Same(win::kDriveCdrom, DRIVE_CDROM), "win::kDriveCdrom");
static_assert(Same(win::kDriveRamdisk, DRIVE_RAMDISK), "win::kDriveRamdisk");

// Device I/O control codes.
static_assert(Same(win::kIoctlDiskGetDriveGeometry, IOCTL_DISK_GET_DRIVE_GEOMETRY),
              "win::kIoctlDiskGetDriveGeometry");
static_assert(Same(win::kIoctlDiskGetPartitionInfo, IOCTL_DISK_GET_PARTITION_INFO),
              "win::kIoctlDiskGetPartitionInfo");
static_assert(Same(win::kIoctlDiskGetPartitionInfoEx, IOCTL_DISK_GET_PARTITION_INFO_EX),
              "win::kIoctlDiskGetPartitionInfoEx");
static_assert(Same(win::kFsctlSetCompression, FSCTL_SET_COMPRESSION), "win::kFsctlSetCompression");
static_assert(Same(win::kCompressionFormatNone, COMPRESSION_FORMAT_NONE),
              "win::kCompressionFormatNone");
static_assert(Same(win::kCompressionFormatDefault, COMPRESSION_FORMAT_DEFAULT),
              "win::kCompressionFormatDefault");

// Message boxes.
static_assert(Same(win::kMbOk, MB_OK), "win::kMbOk");
static_assert(Same(win::kMbOkCancel, MB_OKCANCEL), "win::kMbOkCancel");
static_assert(Same(win::kMbYesNoCancel, MB_YESNOCANCEL), "win::kMbYesNoCancel");
static_assert(Same(win::kMbYesNo, MB_YESNO), "win::kMbYesNo");
static_assert(Same(win::kMbIconHand, MB_ICONHAND), "win::kMbIconHand");
static_assert(Same(win::kMbIconQuestion, MB_ICONQUESTION), "win::kMbIconQuestion");
static_assert(Same(win::kMbIconExclamation, MB_ICONEXCLAMATION), "win::kMbIconExclamation");
static_assert(Same(win::kMbIconInformation, MB_ICONINFORMATION), "win::kMbIconInformation");
static_assert(Same(win::kIdOk, IDOK), "win::kIdOk");
static_assert(Same(win::kIdCancel, IDCANCEL), "win::kIdCancel");
static_assert(Same(win::kIdYes, IDYES), "win::kIdYes");
static_assert(Same(win::kIdNo, IDNO), "win::kIdNo");

// Window messages and control messages.
static_assert(Same(win::kWmNull, WM_NULL), "win::kWmNull");
static_assert(Same(win::kWmSetText, WM_SETTEXT), "win::kWmSetText");
static_assert(Same(win::kWmGetText, WM_GETTEXT), "win::kWmGetText");
static_assert(Same(win::kWmPaint, WM_PAINT), "win::kWmPaint");
static_assert(Same(win::kWmClose, WM_CLOSE), "win::kWmClose");
static_assert(Same(win::kWmEraseBkgnd, WM_ERASEBKGND), "win::kWmEraseBkgnd");
static_assert(Same(win::kWmQueryDragIcon, WM_QUERYDRAGICON), "win::kWmQueryDragIcon");
static_assert(Same(win::kWmSetFont, WM_SETFONT), "win::kWmSetFont");
static_assert(Same(win::kWmSetIcon, WM_SETICON), "win::kWmSetIcon");
static_assert(Same(win::kWmKeyDown, WM_KEYDOWN), "win::kWmKeyDown");
static_assert(Same(win::kWmChar, WM_CHAR), "win::kWmChar");
static_assert(Same(win::kWmInitDialog, WM_INITDIALOG), "win::kWmInitDialog");
static_assert(Same(win::kWmCommand, WM_COMMAND), "win::kWmCommand");
static_assert(Same(win::kWmSysCommand, WM_SYSCOMMAND), "win::kWmSysCommand");
static_assert(Same(win::kWmVScroll, WM_VSCROLL), "win::kWmVScroll");
static_assert(Same(win::kWmCtlColorBtn, WM_CTLCOLORBTN), "win::kWmCtlColorBtn");
static_assert(Same(win::kWmCtlColorDlg, WM_CTLCOLORDLG), "win::kWmCtlColorDlg");
static_assert(Same(win::kWmCtlColorStatic, WM_CTLCOLORSTATIC), "win::kWmCtlColorStatic");
static_assert(Same(win::kWmUser, WM_USER), "win::kWmUser");
static_assert(Same(win::kBmGetCheck, BM_GETCHECK), "win::kBmGetCheck");
static_assert(Same(win::kBmSetCheck, BM_SETCHECK), "win::kBmSetCheck");
static_assert(Same(win::kBmClick, BM_CLICK), "win::kBmClick");
static_assert(Same(win::kEmSetSel, EM_SETSEL), "win::kEmSetSel");
static_assert(Same(win::kEmLimitText, EM_LIMITTEXT), "win::kEmLimitText");
static_assert(Same(win::kEmStreamIn, EM_STREAMIN), "win::kEmStreamIn");
static_assert(Same(win::kLbAddString, LB_ADDSTRING), "win::kLbAddString");
static_assert(Same(win::kLbGetCurSel, LB_GETCURSEL), "win::kLbGetCurSel");
static_assert(Same(win::kLbGetText, LB_GETTEXT), "win::kLbGetText");
static_assert(Same(win::kLbGetCount, LB_GETCOUNT), "win::kLbGetCount");
static_assert(Same(win::kLbFindString, LB_FINDSTRING), "win::kLbFindString");
static_assert(Same(win::kPbmSetPos, PBM_SETPOS), "win::kPbmSetPos");
static_assert(Same(win::kPbmSetRange32, PBM_SETRANGE32), "win::kPbmSetRange32");
static_assert(Same(win::kSbTop, SB_TOP), "win::kSbTop");
static_assert(Same(win::kScClose, SC_CLOSE), "win::kScClose");
static_assert(Same(win::kWmGetTextLength, WM_GETTEXTLENGTH), "win::kWmGetTextLength");
static_assert(Same(win::kWmCtlColorEdit, WM_CTLCOLOREDIT), "win::kWmCtlColorEdit");
static_assert(Same(win::kWmCtlColorListBox, WM_CTLCOLORLISTBOX), "win::kWmCtlColorListBox");
static_assert(Same(win::kDmGetDefId, DM_GETDEFID), "win::kDmGetDefId");
static_assert(Same(win::kDmSetDefId, DM_SETDEFID), "win::kDmSetDefId");
static_assert(Same(win::kDcHasDefId, DC_HASDEFID), "win::kDcHasDefId");
static_assert(Same(win::kBmSetState, BM_SETSTATE), "win::kBmSetState");
static_assert(Same(win::kLbSetTopIndex, LB_SETTOPINDEX), "win::kLbSetTopIndex");
static_assert(Same(win::kLbErrSpace, static_cast<uint32_t>(LB_ERRSPACE)), "win::kLbErrSpace");
static_assert(Same(win::kMbTypeMask, MB_TYPEMASK), "win::kMbTypeMask");
static_assert(Same(win::kMbAbortRetryIgnore, MB_ABORTRETRYIGNORE), "win::kMbAbortRetryIgnore");
static_assert(Same(win::kMbRetryCancel, MB_RETRYCANCEL), "win::kMbRetryCancel");
static_assert(Same(win::kIdAbort, IDABORT), "win::kIdAbort");
static_assert(Same(win::kIdRetry, IDRETRY), "win::kIdRetry");
static_assert(Same(win::kIdIgnore, IDIGNORE), "win::kIdIgnore");
static_assert(Same(win::kMbCancelTryContinue, MB_CANCELTRYCONTINUE), "win::kMbCancelTryContinue");
static_assert(Same(win::kMbDefMask, MB_DEFMASK), "win::kMbDefMask");
static_assert(Same(win::kMbDefButton1, MB_DEFBUTTON1), "win::kMbDefButton1");
static_assert(Same(win::kMbDefButton2, MB_DEFBUTTON2), "win::kMbDefButton2");
static_assert(Same(win::kMbDefButton3, MB_DEFBUTTON3), "win::kMbDefButton3");
static_assert(Same(win::kMbDefButton4, MB_DEFBUTTON4), "win::kMbDefButton4");
static_assert(Same(win::kMbHelp, MB_HELP), "win::kMbHelp");
static_assert(Same(win::kIdTryAgain, IDTRYAGAIN), "win::kIdTryAgain");
static_assert(Same(win::kIdContinue, IDCONTINUE), "win::kIdContinue");
static_assert(Same(win::kWsVisible, WS_VISIBLE), "win::kWsVisible");
static_assert(Same(win::kWsDisabled, WS_DISABLED), "win::kWsDisabled");
static_assert(Same(win::kWsBorder, WS_BORDER), "win::kWsBorder");
static_assert(Same(win::kWsGroup, WS_GROUP), "win::kWsGroup");
static_assert(Same(win::kWsTabStop, WS_TABSTOP), "win::kWsTabStop");
static_assert(Same(win::kWsExClientEdge, WS_EX_CLIENTEDGE), "win::kWsExClientEdge");
static_assert(Same(win::kDsCenter, DS_CENTER), "win::kDsCenter");
static_assert(Same(win::kBsTypeMask, BS_TYPEMASK), "win::kBsTypeMask");
static_assert(Same(win::kBsPushButton, BS_PUSHBUTTON), "win::kBsPushButton");
static_assert(Same(win::kBsDefPushButton, BS_DEFPUSHBUTTON), "win::kBsDefPushButton");
static_assert(Same(win::kBsCheckBox, BS_CHECKBOX), "win::kBsCheckBox");
static_assert(Same(win::kBsAutoCheckBox, BS_AUTOCHECKBOX), "win::kBsAutoCheckBox");
static_assert(Same(win::kBsRadioButton, BS_RADIOBUTTON), "win::kBsRadioButton");
static_assert(Same(win::kBs3State, BS_3STATE), "win::kBs3State");
static_assert(Same(win::kBsAuto3State, BS_AUTO3STATE), "win::kBsAuto3State");
static_assert(Same(win::kBsGroupBox, BS_GROUPBOX), "win::kBsGroupBox");
static_assert(Same(win::kBsAutoRadioButton, BS_AUTORADIOBUTTON), "win::kBsAutoRadioButton");
static_assert(Same(win::kBstIndeterminate, BST_INDETERMINATE), "win::kBstIndeterminate");
static_assert(Same(win::kEsMultiline, ES_MULTILINE), "win::kEsMultiline");
static_assert(Same(win::kEsReadOnly, ES_READONLY), "win::kEsReadOnly");
static_assert(Same(win::kSsTypeMask, SS_TYPEMASK), "win::kSsTypeMask");
static_assert(Same(win::kSsBitmap, SS_BITMAP), "win::kSsBitmap");
static_assert(Same(win::kSsEtchedHorz, SS_ETCHEDHORZ), "win::kSsEtchedHorz");
static_assert(Same(win::kLbsNotify, LBS_NOTIFY), "win::kLbsNotify");
static_assert(Same(win::kLbsSort, LBS_SORT), "win::kLbsSort");
static_assert(Same(win::kSmCxScreen, SM_CXSCREEN), "win::kSmCxScreen");
static_assert(Same(win::kSmCyScreen, SM_CYSCREEN), "win::kSmCyScreen");
static_assert(Same(win::kWmCtlColorMsgBox, WM_CTLCOLORMSGBOX), "win::kWmCtlColorMsgBox");
static_assert(Same(win::kWmCtlColorScrollBar, WM_CTLCOLORSCROLLBAR), "win::kWmCtlColorScrollBar");
static_assert(Same(win::kCtlColorMsgBox, CTLCOLOR_MSGBOX), "win::kCtlColorMsgBox");
static_assert(Same(win::kCtlColorEdit, CTLCOLOR_EDIT), "win::kCtlColorEdit");
static_assert(Same(win::kCtlColorListBox, CTLCOLOR_LISTBOX), "win::kCtlColorListBox");
static_assert(Same(win::kCtlColorBtn, CTLCOLOR_BTN), "win::kCtlColorBtn");
static_assert(Same(win::kCtlColorDlg, CTLCOLOR_DLG), "win::kCtlColorDlg");
static_assert(Same(win::kCtlColorScrollBar, CTLCOLOR_SCROLLBAR), "win::kCtlColorScrollBar");
static_assert(Same(win::kCtlColorStatic, CTLCOLOR_STATIC), "win::kCtlColorStatic");

// Show-window states and start-up flags.
static_assert(Same(win::kSwHide, SW_HIDE), "win::kSwHide");
static_assert(Same(win::kSwShowNormal, SW_SHOWNORMAL), "win::kSwShowNormal");
static_assert(Same(win::kStartfUseShowWindow, STARTF_USESHOWWINDOW), "win::kStartfUseShowWindow");

// Waiting.
static_assert(Same(win::kInfinite, INFINITE), "win::kInfinite");
static_assert(Same(win::kWaitObject0, WAIT_OBJECT_0), "win::kWaitObject0");
static_assert(Same(win::kWaitTimeout, WAIT_TIMEOUT), "win::kWaitTimeout");
static_assert(Same(win::kWaitFailed, WAIT_FAILED), "win::kWaitFailed");

// COM apartments.
static_assert(Same(win::kCoinitMultithreaded, COINIT_MULTITHREADED), "win::kCoinitMultithreaded");
static_assert(Same(win::kCoinitApartmentThreaded, COINIT_APARTMENTTHREADED),
              "win::kCoinitApartmentThreaded");

// Security and shutdown.
static_assert(Same(win::kTokenAdjustPrivileges, TOKEN_ADJUST_PRIVILEGES),
              "win::kTokenAdjustPrivileges");
static_assert(Same(win::kTokenQuery, TOKEN_QUERY), "win::kTokenQuery");
static_assert(Same(win::kSePrivilegeEnabled, SE_PRIVILEGE_ENABLED), "win::kSePrivilegeEnabled");
static_assert(Same(win::kEwxLogoff, EWX_LOGOFF), "win::kEwxLogoff");
static_assert(Same(win::kEwxShutdown, EWX_SHUTDOWN), "win::kEwxShutdown");
static_assert(Same(win::kEwxReboot, EWX_REBOOT), "win::kEwxReboot");
static_assert(Same(win::kEwxForce, EWX_FORCE), "win::kEwxForce");
static_assert(Same(win::kShtdnReasonMajorSoftware, SHTDN_REASON_MAJOR_SOFTWARE),
              "win::kShtdnReasonMajorSoftware");
static_assert(Same(win::kLoadLibrarySearchSystem32, LOAD_LIBRARY_SEARCH_SYSTEM32),
              "win::kLoadLibrarySearchSystem32");

// Shell change notification.
static_assert(Same(win::kShcneAssocChanged, SHCNE_ASSOCCHANGED), "win::kShcneAssocChanged");
static_assert(Same(win::kShcnfIdList, SHCNF_IDLIST), "win::kShcnfIdList");

// Added with the simulated machine's needs.
static_assert(Same(win::kEPointer, E_POINTER), "win::kEPointer");
static_assert(Same(win::kCoENotInitialized, CO_E_NOTINITIALIZED), "win::kCoENotInitialized");
static_assert(Same(win::kStillActive, STILL_ACTIVE), "win::kStillActive");
static_assert(Same(win::kEwxPowerOff, EWX_POWEROFF), "win::kEwxPowerOff");
static_assert(Same(win::HresultFromWin32(ERROR_PATH_NOT_FOUND),
                   HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)),
              "win::HresultFromWin32");
static_assert(Same(win::HresultFromWin32(0), HRESULT_FROM_WIN32(0)), "win::HresultFromWin32(0)");

// Dialogs, controls and GDI.
static_assert(Same(win::kWmGetFont, WM_GETFONT), "win::kWmGetFont");
static_assert(Same(win::kWmIconEraseBkgnd, WM_ICONERASEBKGND), "win::kWmIconEraseBkgnd");
static_assert(Same(win::kWmNextDlgCtl, WM_NEXTDLGCTL), "win::kWmNextDlgCtl");
static_assert(Same(win::kWmKeyUp, WM_KEYUP), "win::kWmKeyUp");
static_assert(Same(win::kWmGetDlgCode, WM_GETDLGCODE), "win::kWmGetDlgCode");
static_assert(Same(win::kBmGetState, BM_GETSTATE), "win::kBmGetState");
static_assert(Same(win::kEmGetSel, EM_GETSEL), "win::kEmGetSel");
static_assert(Same(win::kEmGetLimitText, EM_GETLIMITTEXT), "win::kEmGetLimitText");
static_assert(Same(win::kLbSetCurSel, LB_SETCURSEL), "win::kLbSetCurSel");
static_assert(Same(win::kLbGetTextLen, LB_GETTEXTLEN), "win::kLbGetTextLen");
static_assert(Same(win::kLbSelectString, LB_SELECTSTRING), "win::kLbSelectString");
static_assert(Same(win::kLbErr, static_cast<uint32_t>(LB_ERR)), "win::kLbErr");
static_assert(Same(win::kPbmGetPos, PBM_GETPOS), "win::kPbmGetPos");
static_assert(Same(win::kPbmGetRange, PBM_GETRANGE), "win::kPbmGetRange");
static_assert(Same(win::kSbLineDown, SB_LINEDOWN), "win::kSbLineDown");
static_assert(Same(win::kBnClicked, BN_CLICKED), "win::kBnClicked");
static_assert(Same(win::kLbnSelChange, LBN_SELCHANGE), "win::kLbnSelChange");
static_assert(Same(win::kEnChange, EN_CHANGE), "win::kEnChange");
static_assert(Same(win::kBstUnchecked, BST_UNCHECKED), "win::kBstUnchecked");
static_assert(Same(win::kBstChecked, BST_CHECKED), "win::kBstChecked");
static_assert(Same(win::kIconSmall, ICON_SMALL), "win::kIconSmall");
static_assert(Same(win::kIconBig, ICON_BIG), "win::kIconBig");
static_assert(Same(win::kSfText, SF_TEXT), "win::kSfText");
static_assert(Same(win::kSfRtf, SF_RTF), "win::kSfRtf");
static_assert(Same(win::kSmCxIcon, SM_CXICON), "win::kSmCxIcon");
static_assert(Same(win::kSmCyIcon, SM_CYICON), "win::kSmCyIcon");
static_assert(Same(win::kVkReturn, VK_RETURN), "win::kVkReturn");
static_assert(Same(win::kVkEscape, VK_ESCAPE), "win::kVkEscape");
static_assert(Same(win::kVkTab, VK_TAB), "win::kVkTab");
static_assert(Same(win::kFwBold, FW_BOLD), "win::kFwBold");
static_assert(Same(win::kFwNormal, FW_NORMAL), "win::kFwNormal");
static_assert(Same(win::kLfFaceSize, LF_FACESIZE), "win::kLfFaceSize");
static_assert(Same(win::kDefaultCharset, DEFAULT_CHARSET), "win::kDefaultCharset");
static_assert(Same(win::kProofQuality, PROOF_QUALITY), "win::kProofQuality");
static_assert(Same(win::kInitCommonControlsExSize, sizeof(INITCOMMONCONTROLSEX)),
              "win::kInitCommonControlsExSize");
static_assert(Same(win::kIccProgressClass, ICC_PROGRESS_CLASS), "win::kIccProgressClass");
static_assert(Same(win::kIccFirstEightClasses, ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES |
                                                   ICC_BAR_CLASSES | ICC_TAB_CLASSES |
                                                   ICC_UPDOWN_CLASS | ICC_PROGRESS_CLASS |
                                                   ICC_HOTKEY_CLASS | ICC_ANIMATE_CLASS),
              "win::kIccFirstEightClasses");
static_assert(Same(win::kWmApp, WM_APP), "win::kWmApp");

// Languages.
static_assert(Same(win::kLangEnglishUs, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)),
              "win::kLangEnglishUs");
static_assert(Same(win::kLangChineseSimplified,
                   MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED)),
              "win::kLangChineseSimplified");

// The install engine.
static_assert(Same(win::kServiceKernelDriver, SERVICE_KERNEL_DRIVER), "win::kServiceKernelDriver");
static_assert(Same(win::kServiceBootStart, SERVICE_BOOT_START), "win::kServiceBootStart");
static_assert(Same(win::kServiceErrorNormal, SERVICE_ERROR_NORMAL), "win::kServiceErrorNormal");

// The protection configuration.
static_assert(Same(win::kErrorNotSameDevice, ERROR_NOT_SAME_DEVICE), "win::kErrorNotSameDevice");
static_assert(Same(win::kErrorInvalidAddress, ERROR_INVALID_ADDRESS), "win::kErrorInvalidAddress");
static_assert(Same(win::kErrorArithmeticOverflow, ERROR_ARITHMETIC_OVERFLOW),
              "win::kErrorArithmeticOverflow");
static_assert(Same(win::kErrorNoaccess, ERROR_NOACCESS), "win::kErrorNoaccess");
static_assert(Same(win::kErrorCantResolveFilename, ERROR_CANT_RESOLVE_FILENAME),
              "win::kErrorCantResolveFilename");
static_assert(Same(win::kFileAttributeReparsePoint, FILE_ATTRIBUTE_REPARSE_POINT),
              "win::kFileAttributeReparsePoint");
static_assert(Same(win::kFileFlagOpenReparsePoint, FILE_FLAG_OPEN_REPARSE_POINT),
              "win::kFileFlagOpenReparsePoint");
static_assert(Same(win::kFileFlagBackupSemantics, FILE_FLAG_BACKUP_SEMANTICS),
              "win::kFileFlagBackupSemantics");
static_assert(Same(win::kLoadWithAlteredSearchPath, LOAD_WITH_ALTERED_SEARCH_PATH),
              "win::kLoadWithAlteredSearchPath");
static_assert(Same(win::kLoadLibrarySearchDllLoadDir, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR),
              "win::kLoadLibrarySearchDllLoadDir");
static_assert(Same(win::kLoadLibrarySearchApplicationDir, LOAD_LIBRARY_SEARCH_APPLICATION_DIR),
              "win::kLoadLibrarySearchApplicationDir");
static_assert(Same(win::kLoadLibrarySearchUserDirs, LOAD_LIBRARY_SEARCH_USER_DIRS),
              "win::kLoadLibrarySearchUserDirs");
static_assert(Same(win::kLoadLibrarySearchDefaultDirs, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS),
              "win::kLoadLibrarySearchDefaultDirs");

// Environment checks.
static_assert(Same(win::kErrorWriteProtect, static_cast<uint32_t>(ERROR_WRITE_PROTECT)),
              "win::kErrorWriteProtect");
static_assert(Same(win::kWbemSFalse, static_cast<int32_t>(WBEM_S_FALSE)), "win::kWbemSFalse");
static_assert(Same(win::kWbemSTimedOut, static_cast<int32_t>(WBEM_S_TIMEDOUT)),
              "win::kWbemSTimedOut");
static_assert(Same(win::kRpcECallRejected, static_cast<int32_t>(RPC_E_CALL_REJECTED)),
              "win::kRpcECallRejected");
static_assert(Same(win::kRpcEDisconnected, static_cast<int32_t>(RPC_E_DISCONNECTED)),
              "win::kRpcEDisconnected");
static_assert(Same(win::kWbemFlagForwardOnly, static_cast<uint32_t>(WBEM_FLAG_FORWARD_ONLY)),
              "win::kWbemFlagForwardOnly");
static_assert(Same(win::kWbemFlagReturnImmediately,
                   static_cast<uint32_t>(WBEM_FLAG_RETURN_IMMEDIATELY)),
              "win::kWbemFlagReturnImmediately");
static_assert(Same(platform::kWmiInfinite, static_cast<uint32_t>(WBEM_INFINITE)),
              "platform::kWmiInfinite");

}  // namespace
