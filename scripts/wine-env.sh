#!/usr/bin/env bash
# Runs Windows programs under Wine the same way for the developer, CTest and CI.
#
#   wine-env.sh --prefix DIR run PROGRAM [ARGS...]
#       Runs one program (stdin from /dev/null) and exits with its exit code.
#       This is CMake's CMAKE_CROSSCOMPILING_EMULATOR for the Windows presets.
#   wine-env.sh --prefix DIR session COMMAND [ARGS...]
#       Runs COMMAND (typically ctest) with a Wine server kept alive for the
#       prefix, so that every program started inside starts quickly.
#
# Both create the 64-bit prefix DIR (which runs 32-bit programs too) the first
# time, under a lock so that parallel jobs never race, and give Wine programs
# WINEPREFIX=DIR, LC_ALL=zh_CN.UTF-8 (ANSI code page 936) and WINEDEBUG=-all.
# Without DISPLAY, an Xvfb is started for the duration. Whatever is started
# here is stopped here, by process id, also when interrupted. The X and Wine
# servers run in sessions of their own, so that a Ctrl-C meant for the
# programs does not pull the servers from under them.

set -u

readonly ZH_LOCALE=zh_CN.UTF-8
readonly READY_STAMP=.wine-env-ready
# Bump when create_prefix changes what it sets up: older prefixes are then rebuilt.
readonly PREFIX_VERSION=4
readonly SCREEN=1280x1024x24

me=${0##*/}

usage() {
    cat >&2 <<EOF
usage: $me --prefix DIR run PROGRAM [ARGS...]
       $me --prefix DIR session COMMAND [ARGS...]
EOF
    exit 2
}

say() { printf '%s: %s\n' "$me" "$*" >&2; }
die() { say "$*"; exit 1; }

prefix=
while [ $# -gt 0 ]; do
    case $1 in
        --prefix) [ $# -ge 2 ] || usage; prefix=$2; shift 2 ;;
        --prefix=*) prefix=${1#--prefix=}; shift ;;
        -h|--help) usage ;;
        --) shift; break ;;
        -*) say "unknown option $1"; usage ;;
        *) break ;;
    esac
done
if [ -z "$prefix" ] || [ $# -lt 2 ]; then usage; fi
mode=$1; shift
case $mode in run|session) ;; *) say "unknown mode $mode"; usage ;; esac

for tool in wine wineserver flock; do
    command -v "$tool" >/dev/null 2>&1 || die "$tool is missing (scripts/install-deps.sh installs it)"
done

# Wine wants an absolute prefix path.
prefix=${prefix%/}
case $prefix in /*) ;; *) prefix=$PWD/$prefix ;; esac
mkdir -p "${prefix%/*}" || die "cannot create the parent of $prefix"
lock_file=$prefix.lock

export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono/Gecko installer prompts and no desktop menu entries written into $HOME.
export WINEDLLOVERRIDES="mscoree=d;mshtml=d;winemenubuilder.exe=d${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
# Wine takes its code page from LC_ALL even when the glibc locale is not
# generated, but then every bash started with it complains; so it is passed to
# Wine programs directly and exported to a session only when it exists.
zh_locale_exists() { locale -a 2>/dev/null | grep -qix 'zh_CN\.utf-\?8'; }

# A UTF-8 locale the machine has not generated (hi_IN.UTF-8, whose Windows
# code page is UTF-8 itself) is made once beside the prefix, never in the
# system's locale archive; prints the folder to put in LOCPATH.
private_locale() {
    local name=$1 dir=$prefix.locales
    case $name in *.UTF-8|*.utf8) ;; *) return 1 ;; esac
    if [ ! -d "$dir/$name" ]; then
        mkdir -p "$dir" || return 1
        localedef -i "${name%%.*}" -f UTF-8 "$dir/$name.tmp$$" >/dev/null 2>&1 &&
            mv -T "$dir/$name.tmp$$" "$dir/$name" 2>/dev/null
        rm -rf "$dir/$name.tmp$$"
        [ -d "$dir/$name" ] || return 1
    fi
    printf '%s\n' "$dir"
}

tmp_dir=
xvfb_pid=
server_pid=
keeper_pid=
child_pid=
lock_fd=

cleanup() {
    local rc=$?
    trap - EXIT INT TERM HUP
    if [ -n "$child_pid" ] && kill -0 "$child_pid" 2>/dev/null; then
        kill -TERM "$child_pid" 2>/dev/null
        stop_wait "$child_pid" 5
    fi
    stop_keeper
    stop_server
    stop_xvfb
    [ -n "$tmp_dir" ] && rm -rf "$tmp_dir"
    exit "$rc"
}

# Waits up to SECONDS for PID to end, then kills it.
stop_wait() {
    local pid=$1 tenths=$(( $2 * 10 ))
    while kill -0 "$pid" 2>/dev/null && [ "$tenths" -gt 0 ]; do
        sleep 0.1; tenths=$((tenths - 1))
    done
    if kill -0 "$pid" 2>/dev/null; then
        kill -KILL "$pid" 2>/dev/null
    fi
    wait "$pid" 2>/dev/null
    return 0
}

# --- prefix -----------------------------------------------------------------

create_prefix() {
    if [ -e "$prefix" ]; then
        # Left half-made by an interrupted run: start over, but never wipe
        # a folder that is not a Wine prefix.
        if [ -n "$(ls -A "$prefix" 2>/dev/null)" ] && [ ! -e "$prefix/system.reg" ] && [ ! -e "$prefix/dosdevices" ]; then
            die "$prefix exists and is not a Wine prefix; remove it or choose another --prefix"
        fi
        rm -rf "$prefix"
    fi
    say "creating the Wine prefix $prefix (once per build tree)..."
    local log=$tmp_dir/wineboot.log
    if ! WINEARCH=win64 LC_ALL=$ZH_LOCALE wine wineboot -i </dev/null >"$log" 2>&1 {lock_fd}>&-; then
        cat "$log" >&2
        die "wineboot failed for $prefix"
    fi
    # Top-level windows drawn by Wine itself rather than left to a window
    # manager (there is none on Xvfb): they get their Windows frame, and
    # DestroyWindow does not wait 2 s for a manager that never answers.
    if ! LC_ALL=$ZH_LOCALE wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
            </dev/null >>"$log" 2>&1 {lock_fd}>&-; then
        cat "$log" >&2
        die "cannot configure $prefix"
    fi
    # Wine's own stand-in for the Song faces drops strokes of small Chinese
    # text and draws no "-"; a CJK face with hand-made small sizes reads cleanly.
    local face font_key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'
    for face in SimSun 宋体 NSimSun 'MS Shell Dlg' 'MS Shell Dlg 2'; do
        if ! LC_ALL=$ZH_LOCALE wine reg add "$font_key" /v "$face" /d 'WenQuanYi Zen Hei Sharp' /f \
                </dev/null >>"$log" 2>&1 {lock_fd}>&-; then
            cat "$log" >&2
            die "cannot set the font substitutes of $prefix"
        fi
    done
    # Frame controls (caption buttons, scroll arrows, check marks) are drawn
    # with Marlett, which this Wine does not find unless it is in the prefix.
    local marlett=/usr/share/wine/fonts/marlett.ttf
    if [ -f "$marlett" ]; then
        cp -f "$marlett" "$prefix/drive_c/windows/Fonts/"
    fi
    # Wine returns before the server has written the registry out.
    wineserver -w </dev/null >/dev/null 2>&1 {lock_fd}>&-
    if [ ! -f "$prefix/system.reg" ] || [ ! -d "$prefix/drive_c/windows/syswow64" ]; then
        cat "$log" >&2
        die "$prefix was not created as a 64-bit prefix (is wine32:i386 installed?)"
    fi
    echo "$PREFIX_VERSION" >"$prefix/$READY_STAMP"
}

prefix_ready() {
    [ "$(cat "$prefix/$READY_STAMP" 2>/dev/null)" = "$PREFIX_VERSION" ]
}

# Leaves a shared lock on the prefix held: a run that finds itself the only
# holder knows nobody else uses the prefix's Wine server.
ensure_prefix() {
    exec {lock_fd}>>"$lock_file" || die "cannot open $lock_file"
    if ! prefix_ready; then
        flock -x "$lock_fd" || die "cannot lock $lock_file"
        prefix_ready || create_prefix
    fi
    flock -s "$lock_fd" || die "cannot lock $lock_file"
}

# --- X server ---------------------------------------------------------------

start_xvfb() {
    [ -n "${DISPLAY:-}" ] && return 0
    command -v Xvfb >/dev/null 2>&1 || die "Xvfb is missing (scripts/install-deps.sh installs it)"
    local number_file=$tmp_dir/display
    : >"$number_file"
    # Xvfb picks a free display itself and writes its number once it accepts clients.
    setsid Xvfb -displayfd 3 -screen 0 "$SCREEN" -nolisten tcp -noreset \
        3>"$number_file" </dev/null >"$tmp_dir/xvfb.log" 2>&1 {lock_fd}>&- &
    xvfb_pid=$!
    local tenths=100 number=
    while [ "$tenths" -gt 0 ]; do
        number=$(head -n 1 "$number_file" 2>/dev/null)
        case $number in [0-9]*) break ;; esac
        kill -0 "$xvfb_pid" 2>/dev/null || break
        sleep 0.1; tenths=$((tenths - 1))
    done
    case $number in
        [0-9]*) export DISPLAY=:$number ;;
        *) cat "$tmp_dir/xvfb.log" >&2; die "Xvfb did not start" ;;
    esac
}

stop_xvfb() {
    [ -n "$xvfb_pid" ] || return 0
    kill -TERM "$xvfb_pid" 2>/dev/null
    stop_wait "$xvfb_pid" 5
    xvfb_pid=
}

# --- Wine server ------------------------------------------------------------

# Starts a wineserver for the prefix unless one already runs there (then the
# programs share it and it is not ours to stop). PERSIST is wineserver's -p:
# the seconds it stays up after its last program exits, "" for ever.
start_server() {
    local persist=$1
    setsid wineserver -f "-p$persist" </dev/null >/dev/null 2>&1 {lock_fd}>&- &
    server_pid=$!
    local tenths=100
    while [ "$tenths" -gt 0 ]; do
        if ! kill -0 "$server_pid" 2>/dev/null; then
            # Exit status 2: a server for this prefix is already running.
            wait "$server_pid" 2>/dev/null
            server_pid=
            return 0
        fi
        if [ -S "/proc/$server_pid/cwd/socket" ]; then
            return 0
        fi
        sleep 0.05; tenths=$((tenths - 1))
    done
    say "the Wine server did not come up in time; continuing"
}

# Asks our server to shut down (it ends all programs of the prefix first).
stop_server() {
    [ -n "$server_pid" ] || return 0
    kill -INT "$server_pid" 2>/dev/null
    stop_wait "$server_pid" 10
    server_pid=
}

# Starts Wine's own background processes (services, devices, desktop) of a
# fresh server with no output attached. Started by the first program instead,
# they would hold its output pipes open until the server stops, and CTest or
# Ninja would wait for them.
start_wine_services() {
    LC_ALL=$ZH_LOCALE wine cmd.exe /c exit </dev/null >/dev/null 2>&1 {lock_fd}>&-
}

# Wine's desktop process (explorer.exe) is started by the first program that
# needs a window and quits a second after the last one exits; started by a
# test, it holds that test's output pipes, and with GUI tests running side by
# side it may never quit. So a session starts it itself, through a small
# program of ours that keeps a hidden window for the whole session.
keeper_exe=$prefix.keeper.exe
build_keeper() {
    [ -f "$keeper_exe" ] && return 0
    # Built for the loader that runs here (see the 64-bit fallback below).
    local cc=i686-w64-mingw32-gcc
    "$(dirname "${BASH_SOURCE[0]}")/wine-can-run-32bit.sh" || cc=x86_64-w64-mingw32-gcc
    command -v "$cc" >/dev/null 2>&1 || return 1
    local src=$tmp_dir/keeper.c
    cat >"$src" <<'EOF_KEEPER'
#include <windows.h>
#include <stdlib.h>
/* Makes a message-only window (which brings up Wine's desktop), then the
   file named by its argument to say so, and keeps the window until stopped. */
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR line, int show)
{
    MSG msg;
    (void)previous; (void)line; (void)show;
    if (!CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, instance, NULL))
        return 1;
    if (__argc > 1)
        CloseHandle(CreateFileA(__argv[1], GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));
    while (GetMessageA(&msg, NULL, 0, 0) > 0)
        DispatchMessageA(&msg);
    return 0;
}
EOF_KEEPER
    "$cc" -Os -s -mwindows -o "$keeper_exe.$$" "$src" >/dev/null 2>&1 \
        && mv -f "$keeper_exe.$$" "$keeper_exe"
}

start_keeper() {
    if ! build_keeper; then
        say "note: cannot build the desktop keeper (no i686-w64-mingw32-gcc?); GUI tests may run slower"
        return 0
    fi
    local ready=$tmp_dir/keeper-ready
    LC_ALL=$ZH_LOCALE wine "$keeper_exe" "Z:${ready//\//\\}" </dev/null >/dev/null 2>&1 {lock_fd}>&- &
    keeper_pid=$!
    local tenths=150
    while [ ! -e "$ready" ] && [ "$tenths" -gt 0 ] && kill -0 "$keeper_pid" 2>/dev/null; do
        sleep 0.1; tenths=$((tenths - 1))
    done
    [ -e "$ready" ] || say "note: Wine's desktop did not come up in time"
}

stop_keeper() {
    [ -n "$keeper_pid" ] || return 0
    kill -TERM "$keeper_pid" 2>/dev/null
    stop_wait "$keeper_pid" 5
    keeper_pid=
}

# Runs the arguments in the background, keeping this script's stdin, and
# waits for them, so that signals sent to this script are handled (and passed
# on) at once. Sets child_rc.
run_child() {
    "$@" <&0 {lock_fd}>&- &
    child_pid=$!
    wait "$child_pid"
    child_rc=$?
    while kill -0 "$child_pid" 2>/dev/null; do
        wait "$child_pid"
        child_rc=$?
    done
    wait "$child_pid" 2>/dev/null
    child_rc=$?
    child_pid=
}

# A background child of a script ignores SIGINT, so an interrupt is passed on
# as SIGTERM; a second one kills.
signals=0
signal_rc=0
on_signal() {
    signals=$((signals + 1))
    signal_rc=$((128 + $1))
    [ -n "$child_pid" ] || exit "$signal_rc"
    if [ "$signals" -gt 1 ]; then
        kill -KILL "$child_pid" 2>/dev/null
    else
        kill -TERM "$child_pid" 2>/dev/null
    fi
}

# An interrupted child that still exits with 0 did not really succeed.
child_status() {
    if [ "$child_rc" -eq 0 ] && [ "$signal_rc" -ne 0 ]; then
        echo "$signal_rc"
    else
        echo "$child_rc"
    fi
}

trap cleanup EXIT
trap 'on_signal 2' INT
trap 'on_signal 15' TERM
trap 'on_signal 1' HUP

# Started with no stdin at all (as CI may do): give the children an empty one.
{ : <&0; } 2>/dev/null || exec </dev/null

tmp_dir=$(mktemp -d "${TMPDIR:-/tmp}/wine-env.XXXXXX") || die "cannot create a temporary folder"

# Debian's "wine" prefers the 32-bit loader. On a machine that cannot execute
# 32-bit Linux programs (a kernel or hypervisor without IA-32 support) that
# fails with "Exec format error", so there every "wine" started from here is
# the 64-bit loader: 64-bit programs run as anywhere, 32-bit ones cannot.
if ! "$(dirname "${BASH_SOURCE[0]}")/wine-can-run-32bit.sh" && [ -x /usr/lib/wine/wine64 ]; then
    mkdir -p "$tmp_dir/bin" || die "cannot create $tmp_dir/bin"
    printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$tmp_dir/bin/wine" && chmod +x "$tmp_dir/bin/wine" ||
        die "cannot create the wine64 shim"
    export PATH=$tmp_dir/bin:$PATH
    export WINELOADER=/usr/lib/wine/wine64
fi

zh_locale_exists || say "warning: the $ZH_LOCALE locale is not generated, so Wine garbles non-ASCII names and arguments (scripts/install-deps.sh generates it)"
ensure_prefix
start_xvfb

case $mode in
run)
    # Outside a session nobody keeps a server up: start one that ends soon
    # after the last program, and stop it at once when nobody else uses it.
    start_server 2
    [ -n "$server_pid" ] && start_wine_services
    # ORVELLE_WINE_LOCALE runs one program under another code page (1252 ...).
    locale_path=()
    if [ -n "${ORVELLE_WINE_LOCALE:-}" ] &&
        ! locale -a 2>/dev/null | grep -qix "$(printf '%s' "$ORVELLE_WINE_LOCALE" | sed 's/UTF-8$/utf-\\?8/I; s/\./\\./')"; then
        dir=$(private_locale "$ORVELLE_WINE_LOCALE") || die "cannot make the locale $ORVELLE_WINE_LOCALE"
        locale_path=(LOCPATH="$dir")
    fi
    run_child env LC_ALL="${ORVELLE_WINE_LOCALE:-$ZH_LOCALE}" "${locale_path[@]}" wine "$@" </dev/null
    rc=$(child_status)
    if [ -n "$server_pid" ]; then
        if flock -x -n "$lock_fd"; then
            # Whatever the program left behind goes with the server.
            stop_server
        else
            # Other runs share it; it ends by itself two seconds after the last.
            server_pid=
        fi
    fi
    exit "$rc"
    ;;
session)
    if zh_locale_exists; then
        export LC_ALL=$ZH_LOCALE
    fi
    start_server ""
    [ -n "$server_pid" ] || say "a Wine server already runs for $prefix; sharing it"
    start_wine_services
    start_keeper
    run_child "$@"
    exit "$(child_status)"
    ;;
esac
