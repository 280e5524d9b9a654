#!/usr/bin/env bash
# Drives the real program under Xvfb as a user would: types into the edits,
# moves with Enter, makes the script through the menu, stores defaults through
# the dialog, exits through the menu; then checks the bytes of the files.
# With --wine it drives Kestrum.exe under Wine (in $WINEPREFIX) the same way
# and expects the same bytes, from a folder whose full path is longer than
# Windows' old limit of 260 characters, with DLLs, plugins and a qt.conf
# planted beside it and in the current folder
# (packaging/windows/plant-dlls.sh): none of them may be loaded or read. Either way the program must start without printing
# anything: a Qt warning is a failure.
# Usage: e2e_kestrum.sh [--wine] <path to the Kestrum executable>
set -euo pipefail
export LC_ALL=C.UTF-8 # characters, not bytes, in ${#text}

wine=
if [ "$1" = --wine ]; then
    wine=yes
    shift
fi
program=$1
for tool in Xvfb xdotool xmodmap iconv ${wine:+wine wineserver python3 x86_64-w64-mingw32-gcc-posix}; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed"; exit 1; }
done

work=$(mktemp -d)
cleanup() {
    kill "${app:-}" 2>/dev/null || true
    [ -z "$wine" ] || wineserver -k 2>/dev/null || true
    kill "${xvfb:-}" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
appdir=$work
if [ -n "$wine" ]; then
    segment=$(printf 'kestrum-long-path-%.0s' 1 2 3 4 5)
    appdir=$work/$segment/$segment/$segment
    mkdir -p "$appdir"
fi
executable=$appdir/Kestrum${wine:+.exe}
cp "$program" "$executable"

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(cat "$work/display")"
export QT_QPA_PLATFORM=xcb # Wine keeps QT_ variables from Windows programs
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"

# Says what failed, with whatever the program printed so far and whether it
# is still running, since a failure in CI is all there is to go on.
fail() {
    echo "FAIL: $*" >&2
    if [ -n "${app:-}" ]; then
        kill -0 "$app" 2>/dev/null && echo "(the program is still running)" >&2 \
            || echo "(the program has ended)" >&2
        [ ! -s "$work/stderr" ] || { echo "it printed:"; head -c 4000 "$work/stderr"; } >&2
        [ ! -s "$work/wine-stderr" ] || { echo "Wine's services printed:"; head -c 2000 "$work/wine-stderr"; } >&2
    fi
    exit 1
}

# Compares file $1 with the expected file $2, showing where they differ.
same_bytes() {
    cmp -s "$1" "$2" && return 0
    diff <(iconv -f CP932 -t UTF-8 "$1" 2>&1 || xxd "$1") <(iconv -f CP932 -t UTF-8 "$2") | head -20
    return 1
}

# Visible windows titled exactly $1, one id a line.
windows_titled() {
    local id
    for id in $(xdotool search --onlyvisible --name . 2>/dev/null); do
        [ "$(xdotool getwindowname "$id" 2>/dev/null)" = "$1" ] && echo "$id"
    done
    return 0
}

# Waits for a visible window titled $1 other than $2, gives it the keyboard
# (there is no window manager to do that) and prints its id. Wine gives its
# new windows the keyboard itself and must not be overruled.
focus_new() {
    local id
    for _ in $(seq 600); do # Wine's first window can take seconds
        for id in $(windows_titled "$1"); do
            if [ "$id" != "${2:-}" ]; then
                give_keyboard "$id"
                echo "$id"
                return
            fi
        done
        sleep 0.05
    done
    fail "no window titled $1"
}

give_keyboard() {
    if [ -n "$wine" ]; then
        sleep 1 # for Wine to activate the window
    else
        xdotool windowfocus --sync "$1"
        sleep 0.3
    fi
}

# Waits until window $1 is gone.
gone() {
    for _ in $(seq 100); do
        xdotool getwindowname "$1" >/dev/null 2>&1 || return 0
        xdotool search --onlyvisible --name . 2>/dev/null | grep -qx "$1" || return 0
        sleep 0.05
    done
    fail "window $1 did not close"
}

# Presses Enter on the information box that must now be open with text $1.
confirm_information() {
    local box
    box=$(focus_new Kestrum "$main")
    xdotool key Return
    gone "$box"
    give_keyboard "$main"
}

cp932() { printf '%s' "$1" | iconv -f UTF-8 -t CP932; }

expected_script() { # the eight values, as typed
    printf 'VERSIONINFO_1 VERSIONINFO\r\nFILEVERSION 1, 0, 0, 0\r\nPRODUCTVERSION 1, 0, 0, 0\r\n'
    printf 'FILEOS VOS_NT_WINDOWS32\r\nFILETYPE VFT_APP\r\n{\r\n BLOCK "StringFileInfo"\r\n {\r\n'
    printf '  BLOCK "041103A4"\r\n  {\r\n'
    local keys=(CompanyName FileDescription FileVersion InternalName LegalCopyright
                OriginalFilename ProductName ProductVersion)
    local i terminator
    for i in 0 1 2 3 4 5 6 7; do
        terminator='\000"'
        [ $((i % 2)) -eq 0 ] && terminator='\000\000"'
        printf '   VALUE "%s", "' "${keys[$i]}"
        cp932 "${@:$((i + 1)):1}"
        printf '%s\r\n' "$terminator"
    done
    printf '  }\r\n }\r\n BLOCK "VarFileInfo"\r\n {\r\n  VALUE "Translation", 0x0411,932\r\n }\r\n}\r\n'
}

if [ -n "$wine" ]; then
    mkdir "$work/current"
    planted=$("$(dirname "$0")/../packaging/windows/plant-dlls.sh" "$executable" "$appdir" "$work/current")
    # Wine's own services (services.exe, winedevice.exe, the desktop) start
    # before the program, print elsewhere and stay until the cleanup: left to
    # start with the program they write to its stderr, and winedevice.exe has
    # been seen to crash as Wine shut them down when the program ended. A
    # server left by an earlier test is let go first.
    wineserver -w
    wineserver -p
    LC_ALL=ja_JP.UTF-8 wine cmd /c exit 2>"$work/wine-stderr"
    # Qt writes its warnings where a debugger would see them unless told to
    # use stderr; Wine passes WINEQT_ variables on as QT_ ones. Qt would say
    # where it looked for plugins.
    (cd "$work/current" && exec env LC_ALL=ja_JP.UTF-8 WINEQT_FORCE_STDERR_LOGGING=1 \
        WINEQT_DEBUG_PLUGINS=1 WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-}${planted:+;$planted=n,b}" \
        wine "$executable") 2>"$work/stderr" &
else
    "$executable" 2>"$work/stderr" &
fi
app=$!
main=$(focus_new Kestrum)

values=("株式会社ｹｽﾄﾗﾑ" "バージョン作成" "1.0.0.0" "kestrum" "(C) 2026 ①" "kestrum.exe" "ケストラム" "1.0")
# Types $1 a character at a time. Each character the keyboard lacks is given
# one of seven keys that have no symbols, in turn, and keeps it while it is
# typed again. Wine reads the character of a press only when the program asks
# for it, so a key must not stand for another character before then: left to
# itself xdotool lends one key to every character, and under load Wine read
# the next character. So a key is given anew only a second after the last
# press. (Wine loses every press of the eighth such key, 168.)
spare_keys=($(xmodmap -pke | awk 'NF == 3 && $2 >= 90 { print $2 }' | head -7))
declare -A key_of
given=0
type_slowly() {
    local text=$1 i char keysym key known
    for ((i = 0; i < ${#text}; i++)); do
        char=${text:i:1}
        keysym=$(printf 'U%04X' "'$char")
        if [[ $char != [\ -~] && -z ${key_of[$char]:-} ]]; then
            key=${spare_keys[given % ${#spare_keys[@]}]}
            for known in "${!key_of[@]}"; do
                [ "${key_of[$known]}" != "$key" ] || { unset "key_of[$known]"; sleep 1; }
            done
            xmodmap -e "keycode $key = $keysym"
            key_of[$char]=$key
            given=$((given + 1))
        fi
        xdotool key "$keysym"
        sleep 0.1
    done
}

# Wine drops the first press of a key given a symbol after it started; one
# typed and erased in the empty first edit takes that loss, whichever way it
# goes.
type_slowly あ
xdotool key BackSpace
# The first value goes through the clipboard and back: from the edit's
# context menu select all, cut and paste; paste again by keyboard and undo
# that; from the menu select all and delete, and undo that. Any step that
# failed would leave the value empty or doubled. The menu is the Japanese one:
# すべて選択(A) and 削除(D) have access keys there, as in Japanese Windows'
# edit menu, and none in Qt's English one.
edit_menu() { xdotool key Menu; sleep 1; xdotool key "$1"; sleep 0.5; }
type_slowly "${values[0]}"
edit_menu a
edit_menu t
edit_menu p
xdotool key --delay 200 ctrl+v ctrl+z
edit_menu a
edit_menu d
xdotool key ctrl+z
xdotool key Return
for value in "${values[@]:1}"; do
    type_slowly "$value"
    xdotool key Return
done
xdotool key alt+f m
confirm_information
expected_script "${values[@]}" > "$work/expected.rc"
same_bytes "$appdir/Kestrum.rc" "$work/expected.rc" || fail "Kestrum.rc differs from what was typed"
echo "ok: typed values, cut, pasted and undone, made into Kestrum.rc"

xdotool key alt+o d
dialog=$(focus_new 'ﾃﾞﾌｫﾙﾄ設定')
type_slowly "既定の会社"
xdotool key Tab
type_slowly "(C) 既定"
xdotool key Return
box=$(focus_new Kestrum "$main")
xdotool key Return
gone "$box"
give_keyboard "$dialog"
xdotool key alt+c
gone "$dialog"
{ printf '[OPTION]\r\nCOMPANY='; cp932 "既定の会社"; printf '\r\nRIGHTS='; cp932 "(C) 既定"; printf '\r\n'; } \
    > "$work/expected.ini"
same_bytes "$appdir/Kestrum.ini" "$work/expected.ini" || fail "Kestrum.ini differs from what was stored"
echo "ok: defaults stored in Kestrum.ini"

# The main window took the stored defaults back; a second Make shows them.
give_keyboard "$main"
xdotool key alt+f m
confirm_information
values[0]="既定の会社"
values[4]="(C) 既定"
expected_script "${values[@]}" > "$work/expected.rc"
same_bytes "$appdir/Kestrum.rc" "$work/expected.rc" || fail "the defaults did not come back into the edits"
echo "ok: defaults reloaded into the main window"

xdotool key alt+h a
box=$(focus_new 'Version Information')
xdotool key Return
gone "$box"
give_keyboard "$main"
echo "ok: the about box opens and closes"

xdotool key alt+f x
status=0
for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.05; done
wait "$app" || status=$?
app=
[ "$status" -eq 0 ] || fail "exit code $status"
echo "ok: Exit ends the program with code 0"
if [ -n "$wine" ]; then
    # Wine 8 has no per-monitor v2 DPI awareness (Windows 10 and 11 have), so
    # Qt falls back to per-monitor v1 and says so, and Wine's stock icons for
    # the message boxes carry no bitmaps. These lines, and only these, are
    # Wine's and not the program's.
    iconv -f CP932 -t UTF-8 "$work/stderr" | grep -v \
        -e '^qt.qpa.windows: SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2) failed: COM error 0x57 ' \
        -e '^EnableNonClientDpiScaling() failed for HWND 0x[0-9a-f]* (120) ' \
        -e '^QPixmap::fromWinHICON(), failed to GetIconInfo() ' >"$work/printed" || true
else
    cp "$work/stderr" "$work/printed"
fi
[ ! -s "$work/printed" ] || fail "the program printed: $(head -c 2000 "$work/printed")"
echo "ok: nothing printed, no Qt warning"
passed=6
if [ -n "$wine" ]; then
    loaded=$(find "$appdir" "$work/current" -name '*.loaded' | sort \
        | sed -e "s|^$appdir/|beside the program: |" -e "s|^$work/current/|in the current folder: |")
    [ -z "$loaded" ] || fail "planted code was loaded:"$'\n'"$loaded"
    echo "ok: no planted DLL (${planted:-none}, plugins) loaded"
    passed=7
fi
echo "$passed passed, 0 failed"
