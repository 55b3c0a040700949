#!/usr/bin/env bash
# Runs a command where 32-bit (i386) programs execute, so that Wine's 32-bit
# loader starts and the shipped 32-bit build can be tested.
#
#   i386-route.sh [--cache DIR] run COMMAND [ARGS...]
#       Natively when this machine executes i386 programs. Otherwise inside a
#       private user and mount namespace whose own binfmt_misc instance hands
#       i386 programs to qemu-i386 (Linux 6.7 and later give each user
#       namespace its own instance, so nothing is registered on the machine).
#       COMMAND sees ORVELLE_I386_ROUTE=native or ORVELLE_I386_ROUTE=emulated.
#       Exits 125 when no route works.
#   i386-route.sh [--cache DIR] route
#       Prints "native", "emulated" or "none" (and exits 0, 0 or 1).
#
# qemu-user comes from the backports suite of the machine's own release
# (bookworm's own qemu 7.2 lacks MAP_FIXED_NOREPLACE and spins forever on
# Wine's address-space reservation). It is fetched with a private apt
# configuration built from the machine's own sources, with its own lists and
# cache under DIR (default: build/i386-route), and unpacked there: the
# machine's package set, apt state and binfmt registrations stay as they are.

set -u

me=${0##*/}
say() { printf '%s: %s\n' "$me" "$*" >&2; }
die() { say "$*"; exit 125; }

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
cache=${ORVELLE_BUILD_ROOT:-$root/build}/i386-route

while [ $# -gt 0 ]; do
    case $1 in
        --cache) [ $# -ge 2 ] || die "--cache needs a folder"; cache=$2; shift 2 ;;
        --cache=*) cache=${1#--cache=}; shift ;;
        *) break ;;
    esac
done
case $cache in /*) ;; *) cache=$PWD/$cache ;; esac
[ $# -ge 1 ] || die "usage: $me [--cache DIR] run COMMAND [ARGS...] | route"
mode=$1; shift

native() { "$here/wine-can-run-32bit.sh"; }

qemu=$cache/qemu/usr/bin/qemu-i386

# The machine's own Debian sources, as one-line entries of its release's
# backports suite. Both the deb822 form and the classic sources.list form are read.
backports_sources() {
    local codename
    codename=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
    [ -n "$codename" ] || return 1
    {
        local f
        for f in /etc/apt/sources.list.d/*.sources; do
            [ -f "$f" ] || continue
            awk -v want="$codename" '
                function flush() {
                    if (uris != "" && suites ~ ("(^| )" want "( |$)") && types ~ /(^| )deb( |$)/) {
                        n = split(uris, u, " ")
                        for (i = 1; i <= n; i++)
                            print "deb" (key != "" ? " [signed-by=" key "]" : "") " " u[i] " " want "-backports " comps
                    }
                    types = uris = suites = comps = key = ""
                }
                /^[ \t]*$/ { flush(); next }
                /^#/ { next }
                { line = $0; sub(/^[^:]*:[ \t]*/, "", line) }
                /^Types:/ { types = line }
                /^URIs:/ { uris = line }
                /^Suites:/ { suites = line }
                /^Components:/ { comps = line }
                /^Signed-By:/ { key = line }
                END { flush() }
            ' "$f"
        done
        for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
            [ -f "$f" ] || continue
            awk -v want="$codename" '$1 == "deb" {
                opt = ""; i = 2
                if ($2 ~ /^\[/) { while ($i !~ /\]$/) { opt = opt $i " "; i++ } opt = opt $i " "; i++ }
                if ($(i + 1) == want) {
                    line = "deb " opt $i " " want "-backports"
                    for (j = i + 2; j <= NF; j++) line = line " " $j
                    print line
                }
            }' "$f"
        done
    } | grep -i '/debian\b\|/debian/\? ' | sort -u
}

fetch_qemu() {
    [ -x "$qemu" ] && return 0
    command -v apt-get >/dev/null && command -v dpkg-deb >/dev/null || return 1
    local apt=$cache/apt
    rm -rf "$apt" && mkdir -p "$apt/lists/partial" "$apt/archives/partial" "$apt/cache" "$apt/parts" || return 1
    backports_sources >"$apt/sources.list" && [ -s "$apt/sources.list" ] || {
        say "no Debian sources found in /etc/apt to derive a backports suite from"; return 1; }
    local opts=(
        -o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=$apt/parts"
        -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache" -o "Dir::Cache::archives=$apt/archives"
        -o Debug::NoLocking=1 -o "APT::Architectures::=$(dpkg --print-architecture)" -o APT::Sandbox::User=root
    )
    say "fetching qemu-user from $(awk '{print $(NF-1); exit}' "$apt/sources.list") (private apt state in $apt)"
    apt-get "${opts[@]}" -q update >"$apt/update.log" 2>&1 || { say "apt-get update failed (see $apt/update.log)"; return 1; }
    (cd "$apt" && apt-get "${opts[@]}" -q download qemu-user) >"$apt/download.log" 2>&1 ||
        { say "apt-get download qemu-user failed (see $apt/download.log)"; return 1; }
    local deb
    deb=$(ls "$apt"/qemu-user_*.deb 2>/dev/null | head -n 1)
    [ -n "$deb" ] || return 1
    rm -rf "$cache/qemu" && dpkg-deb -x "$deb" "$cache/qemu" || return 1
    rm -f "$deb"
    [ -x "$qemu" ]
}

# The same i386 ELF magic and mask the distribution's qemu-user-binfmt
# registers; F opens the interpreter now, so it also works in mount namespaces.
binfmt_line() {
    printf ':qemu-i386:M::\\x7fELF\\x01\\x01\\x01\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x02\\x00\\x03\\x00:'
    printf '\\xff\\xff\\xff\\xff\\xff\\xfe\\xfe\\x00\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xfe\\xff\\xff\\xff:'
    printf '%s:PF\n' "$qemu"
}

# Runs "$@" inside the private namespace with qemu-i386 registered; with
# --exec it replaces this process, so that signals reach the command itself.
in_namespace() {
    local exec=
    if [ "$1" = --exec ]; then exec=exec; shift; fi
    mkdir -p "$cache/binfmt" || return 125
    local line
    line=$(binfmt_line)
    $exec unshare --user --map-root-user --mount --propagation private -- \
        bash -c 'mount -t binfmt_misc binfmt_misc "$1" && printf "%b" "$2" >"$1/register" || exit 125
                 shift 2; export ORVELLE_I386_ROUTE=emulated; exec "$@"' \
        i386-route "$cache/binfmt" "$line" "$@"
}

emulation_works() {
    fetch_qemu || return 1
    in_namespace "$here/wine-can-run-32bit.sh" 2>/dev/null
}

case $mode in
    route)
        if native; then echo native
        elif emulation_works; then echo emulated
        else echo none; exit 1
        fi ;;
    run)
        [ $# -ge 1 ] || die "run needs a command"
        if native; then
            ORVELLE_I386_ROUTE=native exec "$@"
        fi
        emulation_works || die "this machine cannot execute 32-bit programs, and the emulated route failed"
        in_namespace --exec "$@" ;;
    *) die "unknown mode $mode" ;;
esac
