# shellcheck shell=bash
# Shared by tests/e2e/scenarios.py and scripts/demo (sourced, not run): the product folder
# beside Setup.exe, the Wine prefix, and running Windows programs under Wine on a display.

e2e_wine=/usr/lib/wine/wine64
e2e_wineserver=/usr/lib/wine/wineserver
[ -x "$e2e_wineserver" ] || e2e_wineserver=$(command -v wineserver || echo wineserver)
# No Mono or Gecko prompts; no menu entries or desktop files made in the Unix user's home
# for the links that an installation creates.
e2e_dll_overrides="mscoree,mshtml=;winemenubuilder.exe=d"

# The Windows path of a Unix path (Wine maps Z: to the root).
e2e_winpath() {
    local path
    path=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
    printf 'Z:%s' "${path//\//\\}"
}

# e2e_make_product FOLDER SETUP_EXE: lays out a product folder as setup expects it beside
# itself, FOLDER made anew:
#   Setup.exe     a copy of SETUP_EXE
#   Corvane.exe   the main interface's stand-in (holds the product's mutex while it runs)
#   Warden.exe    the Warden's stand-in (its window logs the messages it gets)
#   Keeper.exe    the service program's stand-in (logs every start with its command line)
#   MenuExt.dll   the shell extension's stand-in (its DllRegisterServer logs its call)
#   cvflt.sys     the driver's stand-in (a kernel-mode image that declines to start)
#   Persist.exe, Console.exe, Remove.exe, Guide.chm, Console.txt: small text files
#   lang.ini      a language list; terms.rtf: a short licence agreement (RTF)
# The five programs are the ones built beside SETUP_EXE (tests/fixtures/product, in both
# Windows presets); one that is missing there is replaced by a small text file, with a
# warning, so that a folder for copying only can be laid out from a partial build.
e2e_make_product() {
    local dir=$1 setup=$2 f bin
    bin=$(dirname "$setup")
    rm -rf "$dir"
    mkdir -p "$dir"
    cp "$setup" "$dir/Setup.exe"
    for f in Corvane.exe Warden.exe Keeper.exe MenuExt.dll cvflt.sys; do
        if [ -f "$bin/$f" ]; then
            cp "$bin/$f" "$dir/$f"
        else
            echo "e2e_make_product: no $f in $bin (build the product_standins target):" \
                "a text file stands in for it" >&2
            printf 'MZ stand-in for %s\n' "$f" >"$dir/$f"
        fi
    done
    for f in Persist.exe Console.exe Remove.exe; do
        printf 'MZ stand-in for %s\n' "$f" >"$dir/$f"
    done
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
    export WINEDLLOVERRIDES=$e2e_dll_overrides
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
# processes to end so that none is left talking to the X server. With E2E_OWN_DISPLAY=1
# the caller has started a display for its run (DISPLAY) and ends the Wine session itself:
# the command just runs there.
e2e_on_display() {
    local status=0
    if [ "${E2E_OWN_DISPLAY:-}" = 1 ]; then
        "$@" || status=$?
    elif [ -n "${DISPLAY:-}" ] && [ -z "${E2E_FORCE_XVFB:-}" ]; then
        "$@" || status=$?
        "$e2e_wineserver" -w || true
    else
        xvfb-run -a -s "-screen 0 1024x768x24" \
            bash -c 'status=0; "$@" || status=$?; "'"$e2e_wineserver"'" -w; exit $status' \
            bash "$@" || status=$?
    fi
    return $status
}

# ---- The Windows a run starts from ----
#
# What an installation left is read from outside the program by tests/e2e/machine.py (the
# registry files, prefs.dat, the marker) and tests/e2e/report.py (scripts/demo's report).

e2e_class_disks='SYSTEM\CurrentControlSet\Control\Class\{4D36E967-E325-11CE-BFC1-08002BE10318}'
e2e_class_volumes='SYSTEM\CurrentControlSet\Control\Class\{71A27CDD-812A-11D0-BEC7-08002BE2092F}'
e2e_service_key='SYSTEM\CurrentControlSet\Services\cvflt'
e2e_product_key='SOFTWARE\Corvane'
e2e_run_key='SOFTWARE\Microsoft\Windows\CurrentVersion\Run'
# The registered owner and organisation of the Windows that e2e_windows_state makes.
e2e_registered_owner="Windows User"
e2e_registered_organization="Example Organisation"
e2e_uninstall_key='SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{5B0E3C2A-7D41-4F8E-9A36-C1D2E4F60718}'

# e2e_user_folder: the Unix path of the Wine user's profile folder in the prefix.
e2e_user_folder() {
    printf '%s/drive_c/users/%s' "$WINEPREFIX" "$(id -un)"
}

# e2e_windows_state: the prefix made to look like a Windows without the product: no
# installation from an earlier run, a registered owner and organisation (Wine has none),
# the disk drives' upper filter PartMgr, the volume class with its upper filter volsnap, a
# Quick Launch folder, the user's own desktop kept inside the prefix (Wine links it to the
# Unix home) with an earlier Corvane.lnk on it.
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
        printf '[HKEY_LOCAL_MACHINE\\%s]\n"RegisteredOwner"="%s"\n"RegisteredOrganization"="%s"\n\n' \
            'SOFTWARE\Microsoft\Windows NT\CurrentVersion' "$e2e_registered_owner" \
            "$e2e_registered_organization"
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

# e2e_template_prefix BASE_PREFIX: makes sure that the template prefix BASE_PREFIX/e2e-template
# is ready (wineboot, fonts, English, Wine's own frames), under a lock so that runs side by
# side wait for one another; made once. The template is made with HOME in
# BASE_PREFIX/e2e-home, so that the user folders that Wine links to the Unix home
# (Documents...) lead there rather than into the real home.
e2e_template_prefix() {
    local base=$1 template
    mkdir -p "$base"
    template=$(cd "$base" && pwd)/e2e-template
    (
        flock 9
        if [ ! -f "$template/.e2e-template-ready" ]; then
            rm -rf "$template"
            export HOME=${template%/*}/e2e-home
            mkdir -p "$HOME"
            e2e_prepare_prefix "$template"
            e2e_configure_prefix en wine
            "$e2e_wineserver" -w || true
            touch "$template/.e2e-template-ready"
        fi
    ) 9>"$template.lock"
}

# e2e_case_prefix BASE_PREFIX DEST: makes DEST a Wine prefix of its own for one test case and
# exports WINEPREFIX=DEST: a copy of the template prefix (e2e_template_prefix), so that cases
# may run side by side. The template's system32 (most of its size, written only when a
# prefix is made or upgraded) is hard-linked into the copy; everything else is copied.
e2e_case_prefix() {
    local base=$1 dest=$2 template
    e2e_template_prefix "$base"
    template=$(cd "$base" && pwd)/e2e-template
    rm -rf "$dest"
    mkdir -p "$dest"
    tar -C "$template" --exclude=./drive_c/windows/system32 -cf - . | tar -C "$dest" -xf -
    cp -al "$template/drive_c/windows/system32" "$dest/drive_c/windows/"
    export WINEPREFIX=$dest
    export WINEDLLOVERRIDES=$e2e_dll_overrides
    export WINEDEBUG=${WINEDEBUG:--all}
}
