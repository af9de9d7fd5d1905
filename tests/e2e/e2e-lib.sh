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
#   zh    the Chinese system fonts (SimSun...) are replaced by an installed CJK font, so that
#         Wine's captions and message boxes show Chinese text; en removes the replacements,
#         which would otherwise change the metrics of the English dialog font too.
#   wine  unmanaged windows whose frames and captions Wine draws itself (under Xvfb, where
#         there is no window manager: a managed dialog that closes there costs about two
#         seconds of waiting); wm leaves windows and frames to the desktop's window manager.
e2e_configure_prefix() {
    local lang=$1 frames=$2 state=$WINEPREFIX/.e2e-configuration
    [ "$(cat "$state" 2>/dev/null)" = "$lang $frames" ] && return 0
    local reg=$WINEPREFIX/e2e-configuration.reg face cjk=""
    if [ "$lang" = zh ] && fc-list ':lang=zh-cn' family | grep -q .; then
        cjk=$(fc-match -f '%{family[0]}' ':lang=zh-cn')
    elif [ "$lang" = zh ]; then
        echo "no Chinese font (fonts-wqy-microhei): Chinese captions will show boxes" >&2
    fi
    {
        printf 'REGEDIT4\n\n'
        if [ -n "$cjk" ]; then
            printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\n'
            for face in SimSun NSimSun SimHei "Microsoft YaHei"; do
                printf '"%s"="%s"\n' "$face" "$cjk"
            done
        else
            printf '[-HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\n'
        fi
        printf '\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n'
        if [ "$frames" = wine ]; then
            printf '"Managed"="N"\n"Decorated"="N"\n'
        else
            printf '"Managed"=-\n"Decorated"=-\n'
        fi
    } >"$reg"
    E2E_FORCE_XVFB=1 e2e_on_display "$e2e_wine" regedit /S "$(e2e_winpath "$reg")" || true
    echo "$lang $frames" >"$state"
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
