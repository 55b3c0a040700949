#!/usr/bin/env bash
# Builds the 32-bit Windows program (the one users get), makes a folder tree
# full of malformed names in a temporary folder, and runs Orvelle on it under
# Wine; on a machine that cannot execute 32-bit programs, under emulation
# (scripts/i386-route.sh).
#
#   ORVELLE_BUILD_ROOT   where the build trees go (default: build/ in the repository)

set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

"$root/scripts/install-deps.sh"

build_root=${ORVELLE_BUILD_ROOT:-$root/build}
case $build_root in /*) ;; *) build_root=$root/$build_root ;; esac
preset=win32
route=$("$root/scripts/i386-route.sh" --cache "$build_root/i386-route" route) ||
    { echo "This machine cannot execute 32-bit programs and the emulated route failed." >&2; exit 1; }
echo "32-bit programs run $route here."
build_dir=$build_root/$preset

# --- the demo tree, made from the Linux side where such names are ordinary ---

tree=$(mktemp -d "${TMPDIR:-/tmp}/orvelle-demo.XXXXXX")
# Wine's drive Z: is the Linux root.
win_tree="Z:${tree//\//\\}"

make_file() {
    mkdir -p "$tree/$(dirname "$1")"
    printf 'demo file %s\n' "$1" >"$tree/$1"
}

# Malformed: a trailing dot or blank, a device name with or without extension.
# ("..." also shows up hidden: Wine hides names that start with a dot.)
for name in 'report.' 'trail ' 'con' 'CON.txt' 'nul.tar.gz' 'com0' 'lpt9.log' '...' '报告.'; do
    make_file "$name"
done
chmod a-w "$tree/CON.txt"                      # shows up read-only in Windows
make_file 'aux/readme.txt'                      # a device-named folder with content
make_file 'aux/photo.jpg'
make_file 'aux/old/notes.txt'
make_file 'dir./a.txt'                          # a dotted folder and its normal twin
make_file 'dir/a.txt'
make_file '誠/prn.doc'                          # 誠 ends in byte 0x5C in GBK, like "\"
# Normal names, to be left alone.
for name in '誠.txt' 'readme.txt' 'notes.md' 'budget 2024.xlsx' 'photos/holiday.jpg' 'src/main.c' '文档/说明.txt'; do
    make_file "$name"
done

echo "Demo tree: $tree"
echo "  in Wine: $win_tree"
(cd "$tree" && find . -mindepth 1 | LC_ALL=C sort | sed -e 's|^\./||' -e 's/.*/    "&"/')

# --- the program to run: a path in the build tree, then its arguments ---
# On a desktop the window opens on the demo tree (press "开始搜索"). Without a
# display nothing could be seen, so the console front end of the same engine
# prints the rows the window would list.
if [ -n "${DISPLAY:-}" ]; then
    front_end=(app/Orvelle.exe "-p:$win_tree")
else
    echo "No DISPLAY: printing the rows instead of opening the window."
    front_end=(tools/OrvelleScan.exe "$win_tree")
fi

cmake --preset "$preset" -B "$build_dir"
cmake --build "$build_dir" -j 2 --target "${front_end[0]}"

echo
echo "Running ${front_end[0]} on $win_tree"
# Windows programs print in the ANSI code page (936); show that as UTF-8.
set +e
"$root/scripts/i386-route.sh" --cache "$build_root/i386-route" run \
    "$root/scripts/wine-env.sh" --prefix "$build_dir/wineprefix" run \
    "$build_dir/${front_end[0]}" "${front_end[@]:1}" | iconv -c -f GB18030 -t UTF-8
rc=${PIPESTATUS[0]}
set -e
# OrvelleScan's 1 says it listed entries, which is what the demo tree is for.
if [ "${front_end[0]}" = tools/OrvelleScan.exe ] && [ "$rc" -eq 1 ]; then
    rc=0
fi

echo
echo "The demo tree stays in $tree (rm -rf it when done)."
exit "$rc"
