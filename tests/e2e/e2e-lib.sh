# shellcheck shell=bash
# Shared by tests/e2e/wine-e2e and scripts/demo (sourced, not run): the product folder
# beside Setup.exe, the Wine prefix, and running Windows programs under Wine on a display.

e2e_wine=/usr/lib/wine/wine64
e2e_wineserver=/usr/lib/wine/wineserver
[ -x "$e2e_wineserver" ] || e2e_wineserver=$(command -v wineserver || echo wineserver)

# The Windows path of a Unix path (Wine maps Z: to the root).
e2e_winpath() {
    local path
    path=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
    printf 'Z:%s' "${path//\//\\}"
}

# e2e_make_product FOLDER SETUP_EXE: Setup.exe and stand-ins of the product's files.
e2e_make_product() {
    local dir=$1 setup=$2 f
    rm -rf "$dir"
    mkdir -p "$dir"
    cp "$setup" "$dir/Setup.exe"
    for f in Corvane.exe Warden.exe Persist.exe Console.exe Keeper.exe MenuExt.dll Remove.exe; do
        printf 'MZ stand-in for %s\n' "$f" >"$dir/$f"
    done
    printf 'Stand-in of the protection driver cvflt.sys\n' >"$dir/cvflt.sys"
    printf 'Stand-in of the user guide\n' >"$dir/Guide.chm"
    printf 'Corvane console\r\n' >"$dir/Console.txt"
    printf '[Language]\r\nDefault=1033\r\n[1033]\r\nName=English\r\n[2052]\r\nName=Chinese\r\n' \
        >"$dir/lang.ini"
    # RTF ignores line breaks in its source: every paragraph is on one line.
    cat >"$dir/terms.rtf" <<'RTF'
{\rtf1\ansi\ansicpg1252\deff0{\fonttbl{\f0\fswiss Arial;}}
\f0\fs20{\b CORVANE END-USER LICENSE AGREEMENT}\par
\par
Please read this agreement carefully before installing Corvane. By installing, copying or otherwise using the software you agree to be bound by the terms of this agreement.\par
\par
{\b 1. Grant of license.} You may install and use one copy of the software on one computer.\par
{\b 2. Restrictions.} You may not reverse engineer, decompile or disassemble the software.\par
{\b 3. No warranty.} The software is provided "as is", without warranty of any kind.\par
{\b 4. Limitation of liability.} In no event shall the authors be liable for any damages arising from the use of the software.\par
\par
{\i This is a demonstration agreement for the test build.}\par
}
RTF
}

# e2e_prepare_prefix PREFIX: a Wine prefix initialised once (wineboot), with Marlett in its
# fonts folder (Wine draws the caption buttons with it).
e2e_prepare_prefix() {
    export WINEPREFIX=$1
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export WINEDEBUG=${WINEDEBUG:--all}
    mkdir -p "$WINEPREFIX"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "initialising the Wine prefix $WINEPREFIX (takes a minute)" >&2
        E2E_FORCE_XVFB=1 e2e_on_display "$e2e_wine" wineboot -u >/dev/null 2>&1 || true
    fi
    local fonts=$WINEPREFIX/drive_c/windows/Fonts
    if [ -f /usr/share/wine/fonts/marlett.ttf ] && [ ! -f "$fonts/marlett.ttf" ]; then
        mkdir -p "$fonts"
        cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
    fi
}

# e2e_configure_prefix en|zh wine|wm: the prefix's settings for a run.
#   en    the dialog font gets a stand-in with Windows' metrics: Wine maps the dialogs'
#         "MS Shell Dlg" to Tahoma, which Windows has and Wine does not install; fontconfig
#         then picks Liberation Sans, whose 8-point size is a pixel shorter than Windows'
#         (dialog units of 6x12 pixels instead of 6x13). Every page comes out shorter, and
#         its bitmaps, which keep their size in pixels, run over the lines below them.
#         Tahoma and Microsoft Sans Serif (what "MS Shell Dlg" is on Windows) are replaced
#         by DejaVu Sans Condensed (fonts-dejavu-extra): 6x13 at 8 points, with a real bold
#         face for the titles. (Wine's own Tahoma from fonts-wine has the metrics too, but
#         its bold draws as thin as the regular face at the Welcome page's title size.)
#   zh    the Chinese system fonts (SimSun...) are replaced by an installed CJK font, so that
#         Wine's captions and message boxes show Chinese text; the dialog font then falls
#         back to that font too, which has Windows' metrics already.
#   wine  unmanaged windows whose frames and captions Wine draws itself (under Xvfb, where
#         there is no window manager: a managed dialog that closes there costs about two
#         seconds of waiting); wm leaves windows and frames to the desktop's window manager.
# The settings are written once per prefix and choice; the revision in the recorded state
# makes prefixes set up by an earlier version of this function take the current ones.
e2e_configure_prefix() {
    local lang=$1 frames=$2 state=$WINEPREFIX/.e2e-configuration
    local wanted="$lang $frames dialog-font-2"
    [ "$(cat "$state" 2>/dev/null)" = "$wanted" ] && return 0
    local reg=$WINEPREFIX/e2e-configuration.reg face cjk="" dialog=""
    if [ "$lang" = zh ] && fc-list ':lang=zh-cn' family | grep -q .; then
        cjk=$(fc-match -f '%{family[0]}' ':lang=zh-cn')
    elif [ "$lang" = zh ]; then
        echo "no Chinese font (fonts-wqy-microhei): Chinese captions will show boxes" >&2
    fi
    if [ "$lang" = en ] && fc-list 'DejaVu Sans Condensed' family | grep -q .; then
        dialog="DejaVu Sans Condensed"
    elif [ "$lang" = en ]; then
        echo "no DejaVu Sans Condensed (fonts-dejavu-extra): the pages come out shorter" >&2
    fi
    {
        printf 'REGEDIT4\n\n'
        printf '[-HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\n\n'
        if [ -n "$cjk" ] || [ -n "$dialog" ]; then
            printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\n'
            if [ -n "$cjk" ]; then
                for face in SimSun NSimSun SimHei "Microsoft YaHei"; do
                    printf '"%s"="%s"\n' "$face" "$cjk"
                done
            fi
            if [ -n "$dialog" ]; then
                for face in Tahoma "Microsoft Sans Serif"; do
                    printf '"%s"="%s"\n' "$face" "$dialog"
                done
            fi
        fi
        printf '\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n'
        if [ "$frames" = wine ]; then
            printf '"Managed"="N"\n"Decorated"="N"\n'
        else
            printf '"Managed"=-\n"Decorated"=-\n'
        fi
    } >"$reg"
    E2E_FORCE_XVFB=1 e2e_on_display "$e2e_wine" regedit /S "$(e2e_winpath "$reg")" || true
    echo "$wanted" >"$state"
}

# e2e_on_display COMMAND...: runs a command on the display, under Xvfb (24-bit colour, so
# that screenshots keep their colours) when there is none, and waits for the prefix's Wine
# processes to end so that none is left talking to the X server.
e2e_on_display() {
    local status=0
    if [ -n "${DISPLAY:-}" ] && [ -z "${E2E_FORCE_XVFB:-}" ]; then
        "$@" || status=$?
        "$e2e_wineserver" -w || true
    else
        xvfb-run -a -s "-screen 0 1024x768x24" \
            bash -c 'status=0; "$@" || status=$?; "'"$e2e_wineserver"'" -w; exit $status' \
            bash "$@" || status=$?
    fi
    return $status
}

# ---- What an installation leaves in the prefix, read from outside the program ----
#
# The registry is read from the prefix's registry files (system.reg for HKEY_LOCAL_MACHINE,
# user.reg for HKEY_CURRENT_USER), which Wine writes once its processes have ended (every
# run above waits for that). Keys are given as under the hive, e.g.
# 'SYSTEM\CurrentControlSet\Services\cvflt', and matched ignoring case.

e2e_class_disks='SYSTEM\CurrentControlSet\Control\Class\{4D36E967-E325-11CE-BFC1-08002BE10318}'
e2e_class_volumes='SYSTEM\CurrentControlSet\Control\Class\{71A27CDD-812A-11D0-BEC7-08002BE2092F}'
e2e_service_key='SYSTEM\CurrentControlSet\Services\cvflt'
e2e_product_key='SOFTWARE\Corvane'
e2e_run_key='SOFTWARE\Microsoft\Windows\CurrentVersion\Run'
e2e_uninstall_key='SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{5B0E3C2A-7D41-4F8E-9A36-C1D2E4F60718}'

# e2e_user_folder: the Unix path of the Wine user's profile folder in the prefix.
e2e_user_folder() {
    printf '%s/drive_c/users/%s' "$WINEPREFIX" "$(id -un)"
}

# e2e_reg_values HKLM|HKCU KEY: one line per value of KEY, in the file's order:
#   name: REG_SZ "text" | REG_EXPAND_SZ "text" | REG_DWORD 0x0000000a |
#   REG_MULTI_SZ ["a", "b"] | hex(N) bytes for anything else (a string stored without its
#   terminator, for instance, shows as hex(1))
# The default value is named @. Nothing is printed for a missing key.
e2e_reg_values() {
    local file=system.reg
    [ "$1" = HKCU ] && file=user.reg
    awk -v want="$2" '
        function unquote(s,   out, i, c) {
            out = ""
            for (i = 1; i <= length(s); i++) {
                c = substr(s, i, 1)
                if (c == "\\") { i++; c = substr(s, i, 1) }
                out = out c
            }
            return out
        }
        function hexval(h) { return index("0123456789abcdef", tolower(substr(h, 1, 1))) * 16 - 16 + index("0123456789abcdef", tolower(substr(h, 2, 1))) - 1 }
        function multi(bytes,   n, b, i, code, item, items, count) {
            n = split(bytes, b, ",")
            items = ""; item = ""; count = 0
            for (i = 1; i + 1 <= n; i += 2) {
                code = hexval(b[i]) + 256 * hexval(b[i + 1])
                if (code == 0) {
                    if (item == "" ) break
                    items = items (count++ ? ", " : "") "\"" item "\""
                    item = ""
                } else if (code >= 32 && code < 127) {
                    item = item sprintf("%c", code)
                } else {
                    item = item sprintf("\\u%04x", code)
                }
            }
            if (item != "") items = items (count++ ? ", " : "") "\"" item "\""
            return "[" items "]"
        }
        # Newer Wine writes lists as str(7):"a\0b\0" (the last null implied).
        function strlist(s,   n, parts, i, items, count) {
            gsub(/\\0/, "\001", s)
            n = split(unquote(s), parts, "\001")
            items = ""; count = 0
            for (i = 1; i <= n; i++) {
                if (parts[i] == "") { if (i < n) break; else continue }
                items = items (count++ ? ", " : "") "\"" parts[i] "\""
            }
            return "[" items "]"
        }
        function show(line,   name, rest, m) {
            if (substr(line, 1, 1) == "@") { name = "@"; rest = substr(line, 3) }
            else {
                if (!match(line, /^"([^"\\]|\\.)*"=/)) return
                name = unquote(substr(line, 2, RLENGTH - 3))
                rest = substr(line, RLENGTH + 1)
            }
            if (substr(rest, 1, 1) == "\"") print name ": REG_SZ \"" unquote(substr(rest, 2, length(rest) - 2)) "\""
            else if (rest ~ /^str\(2\):"/) print name ": REG_EXPAND_SZ \"" unquote(substr(rest, 9, length(rest) - 9)) "\""
            else if (rest ~ /^dword:/) print name ": REG_DWORD 0x" substr(rest, 7)
            else if (rest ~ /^hex\(7\):/) print name ": REG_MULTI_SZ " multi(substr(rest, 8))
            else if (rest ~ /^str\(7\):"/) print name ": REG_MULTI_SZ " strlist(substr(rest, 9, length(rest) - 9))
            else print name ": " rest
        }
        BEGIN { target = tolower(want) }
        {
            sub(/\r$/, "")
            if (pending != "") { sub(/^ +/, ""); $0 = pending $0; pending = "" }
            if ($0 ~ /\\$/ && !/^\[/) { pending = substr($0, 1, length($0) - 1); next }
        }
        /^\[/ {
            key = $0
            sub(/^\[/, "", key)
            sub(/\][^]]*$/, "", key)
            gsub(/\\\\/, "\\", key)
            inkey = (tolower(key) == target)
            next
        }
        inkey && (/^"/ || /^@/) { show($0) }
    ' "$WINEPREFIX/$file"
}

# e2e_reg_value HKLM|HKCU KEY NAME: the value's line of e2e_reg_values without its name.
e2e_reg_value() {
    e2e_reg_values "$1" "$2" | awk -v name="$3" '
        index($0, name ": ") == 1 { print substr($0, length(name) + 3); found = 1 }
        END { exit !found }'
}

# e2e_link_target LINK: the target path a shell link names (the first Windows path among
# its ANSI and UTF-16 strings).
e2e_link_target() {
    { strings -a "$1"; strings -a -el "$1"; } | grep -m1 -E '^[A-Za-z]:\\' || true
}

# e2e_windows_state: the prefix made to look like a Windows without the product: no
# installation from an earlier run, the disk drives' upper filter PartMgr, the volume class
# with its upper filter volsnap, a Quick Launch folder, the user's own desktop kept inside
# the prefix (Wine links it to the Unix home) with an earlier Corvane.lnk on it.
e2e_windows_state() {
    local reg=$WINEPREFIX/e2e-windows-state.reg user
    user=$(e2e_user_folder)
    rm -rf "$WINEPREFIX/drive_c/Program Files/Corvane" \
        "$WINEPREFIX/drive_c/windows/system32/drivers/cvflt.sys" \
        "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Corvane" \
        "$WINEPREFIX/drive_c/users/Public/Desktop/Corvane.lnk" \
        "$user/AppData/Roaming/Microsoft/Internet Explorer/Quick Launch/Corvane.lnk"
    if [ -L "$user/Desktop" ]; then
        rm "$user/Desktop"
        mkdir -p "$user/Desktop"
    fi
    printf 'an earlier link\n' >"$user/Desktop/Corvane.lnk"
    mkdir -p "$user/AppData/Roaming/Microsoft/Internet Explorer/Quick Launch"
    {
        printf 'Windows Registry Editor Version 5.00\n\n'
        printf '[-HKEY_LOCAL_MACHINE\\%s]\n\n' "$e2e_service_key" "$e2e_product_key" \
            "$e2e_uninstall_key"
        printf '[HKEY_LOCAL_MACHINE\\%s]\n"Corvane Warden"=-\n\n' "$e2e_run_key"
        printf '[HKEY_LOCAL_MACHINE\\%s]\n' "$e2e_class_disks"
        # PartMgr
        printf '"UpperFilters"=hex(7):50,00,61,00,72,00,74,00,4d,00,67,00,72,00,00,00,00,00\n\n'
        printf '[HKEY_LOCAL_MACHINE\\%s]\n@="Storage volumes"\n"Class"="Volume"\n' \
            "$e2e_class_volumes"
        # volsnap
        printf '"UpperFilters"=hex(7):76,00,6f,00,6c,00,73,00,6e,00,61,00,70,00,00,00,00,00\n'
        printf '"LowerFilters"=-\n'
    } >"$reg.txt"
    # A file of this version is UTF-16, or regedit takes hex(7) bytes for ANSI characters.
    { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE "$reg.txt"; } >"$reg"
    rm -f "$reg.txt"
    E2E_FORCE_XVFB=1 e2e_on_display "$e2e_wine" regedit /S "$(e2e_winpath "$reg")" || true
}

# e2e_check_installation PRODUCT_DIR: checks what a default installation from PRODUCT_DIR
# left in the prefix (after e2e_windows_state): the product's files, the driver, its service
# key and both filter lists, the product key and the Run entry, the uninstall entry and the
# links. Prints one "ok" or "FAIL" line each; returns the number of failures.
e2e_check_installation() {
    local product=$1 failures=0 install drive_c user f got
    drive_c=$WINEPREFIX/drive_c
    install=$drive_c/Program\ Files/Corvane
    user=$(e2e_user_folder)
    e2e_expect() {  # WHAT GOT EXPECTED
        if [ "$2" = "$3" ]; then
            echo "ok   $1: $2"
        else
            echo "FAIL $1: got '$2', expected '$3'"
            failures=$((failures + 1))
        fi
    }
    e2e_expect_value() {  # KEY NAME EXPECTED
        e2e_expect "$(basename "${1//\\//}") $2" "$(e2e_reg_value HKLM "$1" "$2" || echo '(missing)')" "$3"
    }

    for f in Corvane.exe Warden.exe:CorvaneWarden.exe Persist.exe Console.exe Keeper.exe \
        MenuExt.dll lang.ini Console.txt Guide.chm terms.rtf Remove.exe; do
        if cmp -s "$product/${f%%:*}" "$install/${f##*:}"; then got=same; else got=different; fi
        e2e_expect "installed ${f##*:}" "$got" same
    done
    if cmp -s "$product/cvflt.sys" "$drive_c/windows/system32/drivers/cvflt.sys"; then
        got=same
    else
        got=different
    fi
    e2e_expect "driver in system32\\drivers" "$got" same

    e2e_expect_value "$e2e_service_key" ImagePath 'REG_SZ "SYSTEM32\drivers\cvflt.sys"'
    e2e_expect_value "$e2e_service_key" Group 'REG_SZ "System Bus Extender"'
    # Control is rewritten by the protection settings later in the installation.
    got=$(e2e_reg_value HKLM "$e2e_service_key" Control || echo '(missing)')
    e2e_expect "cvflt Control" "${got%% *}" REG_DWORD
    e2e_expect_value "$e2e_service_key" ErrorControl 'REG_DWORD 0x00000001'
    e2e_expect_value "$e2e_service_key" Start 'REG_DWORD 0x00000000'
    e2e_expect_value "$e2e_service_key" Type 'REG_DWORD 0x00000001'
    e2e_expect_value "$e2e_class_disks" UpperFilters 'REG_MULTI_SZ ["PartMgr", "cvflt"]'
    e2e_expect_value "$e2e_class_volumes" UpperFilters 'REG_MULTI_SZ ["volsnap"]'
    e2e_expect_value "$e2e_class_volumes" LowerFilters 'REG_MULTI_SZ ["cvflt"]'

    e2e_expect_value "$e2e_product_key" Path 'REG_SZ "C:\Program Files\Corvane"'
    e2e_expect_value "$e2e_run_key" "Corvane Warden" \
        'REG_SZ ""C:\Program Files\Corvane\CorvaneWarden.exe" /Auto"'

    e2e_expect_value "$e2e_uninstall_key" DisplayName 'REG_SZ "Corvane"'
    e2e_expect_value "$e2e_uninstall_key" DisplayVersion 'REG_SZ "1.4.0.672"'
    e2e_expect_value "$e2e_uninstall_key" Publisher 'REG_SZ "Corvane Software"'
    got=$(e2e_reg_value HKLM "$e2e_uninstall_key" RegisteredOwner || echo '(missing)')
    e2e_expect "uninstall RegisteredOwner" "${got%% *}" REG_SZ
    e2e_expect_value "$e2e_uninstall_key" URLInfoAbout 'REG_SZ "https://www.example.com/corvane/"'
    e2e_expect_value "$e2e_uninstall_key" UninstallString \
        'REG_SZ ""C:\Program Files\Corvane\Remove.exe""'
    e2e_expect_value "$e2e_uninstall_key" StartMenuFolder 'REG_SZ "Corvane"'
    e2e_expect_value "$e2e_uninstall_key" NoModify 'REG_DWORD 0x00000001'
    e2e_expect_value "$e2e_uninstall_key" NoRepair 'REG_DWORD 0x00000001'

    local menu=$drive_c/ProgramData/Microsoft/Windows/Start\ Menu/Programs/Corvane link
    for link in "$menu/Corvane.lnk:Corvane.exe" "$menu/Guide.lnk:Guide.chm" \
        "$menu/Remove Corvane.lnk:Remove.exe" \
        "$drive_c/users/Public/Desktop/Corvane.lnk:Corvane.exe" \
        "$user/AppData/Roaming/Microsoft/Internet Explorer/Quick Launch/Corvane.lnk:Corvane.exe"; do
        f=${link%:*}
        got=$(e2e_link_target "$f" 2>/dev/null)
        e2e_expect "link ${f#"$drive_c"/}" "${got:-(none)}" "C:\\Program Files\\Corvane\\${link##*:}"
    done
    if [ -e "$user/Desktop/Corvane.lnk" ]; then got=present; else got=removed; fi
    e2e_expect "the user's own desktop link" "$got" removed
    return "$failures"
}

# e2e_report_installation: prints what an installation left in the prefix: the install
# folder with its files, the driver file, the driver's service key, both filter lists, the
# product key, the Run entry, the uninstall entry and the links.
e2e_report_installation() {
    local drive_c=$WINEPREFIX/drive_c install user driver link target values
    install=$drive_c/Program\ Files/Corvane
    driver=$drive_c/windows/system32/drivers/cvflt.sys
    user=$(e2e_user_folder)
    e2e_report_key() {  # LABEL KEY [VALUE]
        printf '%-26sHKLM\\%s\n' "$1:" "$2"
        if [ $# -eq 3 ]; then
            values=$(e2e_reg_value HKLM "$2" "$3" | sed "s/^/$3: /")
        else
            values=$(e2e_reg_values HKLM "$2")
        fi
        if [ -n "$values" ]; then
            printf '%s\n' "$values" | sed 's/^/      /'
        else
            echo "      (none)"
        fi
    }
    echo "install folder:           C:\\Program Files\\Corvane -> $install"
    if [ -d "$install" ] && [ -n "$(ls -A "$install")" ]; then
        (cd "$install" && find . -mindepth 1 -printf '      %P (%s bytes)\n' | sort)
    elif [ -d "$install" ]; then
        echo "      (empty)"
    else
        echo "      (not created)"
    fi
    if [ -f "$driver" ]; then
        echo "driver file:              C:\\windows\\system32\\drivers\\cvflt.sys ($(stat -c %s "$driver") bytes)"
    else
        echo "driver file:              (not installed) $driver"
    fi
    e2e_report_key "driver's service key" "$e2e_service_key"
    e2e_report_key "disk drives' filters" "$e2e_class_disks" UpperFilters
    e2e_report_key "volumes' filters" "$e2e_class_volumes" LowerFilters
    e2e_report_key "product key" "$e2e_product_key"
    e2e_report_key "Run entry" "$e2e_run_key" "Corvane Warden"
    e2e_report_key "uninstall entry" "$e2e_uninstall_key"
    echo "shortcuts:"
    for link in "$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Corvane/"*.lnk \
        "$drive_c/users/Public/Desktop/Corvane.lnk" \
        "$user/AppData/Roaming/Microsoft/Internet Explorer/Quick Launch/Corvane.lnk" \
        "$user/Desktop/Corvane.lnk"; do
        if [ -f "$link" ]; then
            target=$(e2e_link_target "$link")
            echo "      ${link#"$drive_c"/} -> ${target:-(not a link)}"
        else
            echo "      ${link#"$drive_c"/}: none"
        fi
    done
}

# e2e_case_prefix BASE_PREFIX DEST: makes DEST a Wine prefix of its own for one test case and
# exports WINEPREFIX=DEST: a copy of a template prefix initialised once (wineboot, fonts,
# English, Wine's own frames) in BASE_PREFIX/e2e-template, under a lock so that cases may
# run side by side. The template's system32 (most of its size, written only when a prefix
# is made or upgraded) is hard-linked into the copy; everything else is copied.
e2e_case_prefix() {
    local base=$1 dest=$2 template
    mkdir -p "$base"
    template=$(cd "$base" && pwd)/e2e-template
    (
        flock 9
        if [ ! -f "$template/.e2e-template-ready" ]; then
            rm -rf "$template"
            e2e_prepare_prefix "$template"
            e2e_configure_prefix en wine
            "$e2e_wineserver" -w || true
            touch "$template/.e2e-template-ready"
        fi
    ) 9>"$template.lock"
    rm -rf "$dest"
    mkdir -p "$dest"
    tar -C "$template" --exclude=./drive_c/windows/system32 -cf - . | tar -C "$dest" -xf -
    cp -al "$template/drive_c/windows/system32" "$dest/drive_c/windows/"
    export WINEPREFIX=$dest
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export WINEDEBUG=${WINEDEBUG:--all}
}

# e2e_set_windows_version NAME: the Windows version Wine pretends to be in $WINEPREFIX
# (win2k, winxp, vista, win7, win10...), for the programs started after it. Waits for the
# prefix's Wine processes to end: a desktop process started here, without the display the
# next programs run on, would leave their windows nowhere to go.
e2e_set_windows_version() {
    "$e2e_wine" reg add 'HKCU\Software\Wine' /v Version /d "$1" /f >/dev/null 2>&1
    "$e2e_wineserver" -w || true
}
