#!/usr/bin/env bash
# Builds the release package: the two 32-bit programs, stripped, with a
# README.txt for Windows users, a CHANGELOG.txt and the LICENSE.txt, zipped as
#   build/win32/dist/Orvelle-<version>-win32.zip
# with Orvelle-<version>-win32.zip.sha256 beside it. The zip is built twice, in
# two build trees, and must come out byte for byte the same. Then it unpacks the
# zip into a temporary folder and runs the programs from there under Wine, as a
# user would get them. The version is the project's (CMakeLists.txt), the one
# the version resource carries.
#
#   ORVELLE_BUILD_ROOT      where the build trees go (default: build/ in the repository)
#   ORVELLE_PACKAGE_PRESET  win32 (default, the shipped build) or win64
#   SOURCE_DATE_EPOCH       the time stamped in the zip and the programs (default: the commit's)

set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
me=${0##*/}
die() { printf '%s: %s\n' "$me" "$*" >&2; exit 1; }

"$root/scripts/install-deps.sh"

preset=${ORVELLE_PACKAGE_PRESET:-win32}
case $preset in
    win32) tool_prefix=i686-w64-mingw32 ;;
    win64) tool_prefix=x86_64-w64-mingw32 ;;
    *) die "ORVELLE_PACKAGE_PRESET must be win32 or win64" ;;
esac
build_root=${ORVELLE_BUILD_ROOT:-$root/build}
case $build_root in /*) ;; *) build_root=$root/$build_root ;; esac
build_dir=$build_root/$preset

# One commit, one zip: every time in it and in the programs' headers is the commit's.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct) || die "no commit to take the time from: set SOURCE_DATE_EPOCH"
fi
export SOURCE_DATE_EPOCH

make_zip() {
    cmake --preset "$preset" -B "$1"
    cmake --build "$1" -j 2 --target package_zip
}
make_zip "$build_dir"

zips=("$build_dir"/dist/Orvelle-*-"$preset".zip)
[ ${#zips[@]} -eq 1 ] && [ -f "${zips[0]}" ] || die "no single package in $build_dir/dist"
zip=${zips[0]}
name=$(basename "$zip" .zip)
(cd "$build_dir/dist" && sha256sum -c "$name.zip.sha256") || die "the SHA-256 sum does not match the zip"

# --- the same bytes from another build tree ---------------------------------

again_dir=$build_root/$preset-again
make_zip "$again_dir"
if ! cmp -s "$zip" "$again_dir/dist/$name.zip"; then
    differ=$(mktemp -d "${TMPDIR:-/tmp}/orvelle-package-differ.XXXXXX")
    (cd "$differ" && mkdir one two && cmake -E chdir one cmake -E tar xf "$zip" &&
        cmake -E chdir two cmake -E tar xf "$again_dir/dist/$name.zip")
    (cd "$differ/one" && find . -type f | sort | while read -r f; do
        cmp -s "$f" "../two/$f" || echo "$me:   differs: ${f#./}" >&2
    done)
    rm -rf "$differ"
    die "not reproducible: $again_dir/dist/$name.zip differs from $zip (in the files above, or in the zip's own fields when none is named)"
fi
echo "$me: reproducible: $build_dir and $again_dir made the same zip"

# --- the zip's programs as they are ------------------------------------------

check=$(mktemp -d "${TMPDIR:-/tmp}/orvelle-package.XXXXXX")
trap 'rm -rf "$check"' EXIT
(cd "$check" && cmake -E tar xf "$zip")
unpacked=$check/$name
for f in Orvelle.exe OrvelleScan.exe README.txt CHANGELOG.txt LICENSE.txt; do
    [ -f "$unpacked/$f" ] || die "$f is missing from the zip"
done
for exe in Orvelle.exe OrvelleScan.exe; do
    if "$tool_prefix-objdump" -h "$unpacked/$exe" | grep -q '\.debug'; then
        die "$exe in the zip still carries debug sections"
    fi
done

# The 32-bit programs run natively or under emulation (scripts/i386-route.sh);
# a machine where neither works cannot check the package.
route=()
if [ "$preset" = win32 ]; then
    how=$("$root/scripts/i386-route.sh" --cache "$build_root/i386-route" route) ||
        die "cannot run the 32-bit programs here: no native or emulated route"
    echo "$me: the 32-bit programs run $how"
    route=("$root/scripts/i386-route.sh" --cache "$build_root/i386-route" run)
fi

# A small tree: two malformed names and a well-formed one.
mkdir -p "$check/tree/sub"
printf x >"$check/tree/con"
printf x >"$check/tree/sub/report."
printf x >"$check/tree/ok.txt"
win_tree="Z:${check//\//\\}\\tree"
wine_run() { "${route[@]}" "$root/scripts/wine-env.sh" --prefix "$build_dir/wineprefix" run "$@"; }

wine_run "$unpacked/OrvelleScan.exe" --help >"$check/help.txt" || die "OrvelleScan --help failed"
grep -q -- '--delete' "$check/help.txt" || die "OrvelleScan --help printed no usage"
set +e
wine_run "$unpacked/OrvelleScan.exe" --json "$win_tree" >"$check/scan.json"
rc=$?
set -e
rows=$(grep -c '"record":"row"' "$check/scan.json" || true)
[ "$rc" -eq 1 ] && [ "$rows" -eq 2 ] || die "OrvelleScan from the zip: exit code $rc and $rows rows (expected 1 and 2)"

# The window: it must come up and stay until it is closed; stopping it after
# a few seconds is the expected end (timeout's status 124). An emulated
# 32-bit Wine needs longer to bring it up.
window_wait=8
[ "${how:-}" = emulated ] && window_wait=30
set +e
timeout -s TERM -k 30 "$window_wait" "${route[@]}" "$root/scripts/wine-env.sh" --prefix "$build_dir/wineprefix" run \
    "$unpacked/Orvelle.exe" "-p:$win_tree" >/dev/null 2>&1
rc=$?
set -e
[ "$rc" -eq 124 ] || die "Orvelle.exe from the zip ended by itself (exit code $rc)"

echo
echo "Package: $zip ($(stat -c %s "$zip") bytes)"
echo "SHA-256: $zip.sha256"
cat "$zip.sha256"
