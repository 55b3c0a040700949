#!/bin/sh
# Makes trees from the Linux side and runs the link tests of engine_tests on
# them: symbolic links to a folder (which Wine shows as reparse points
# without a tag) and to a file (which it shows as a plain file), and a share:
# dosdevices/unc/SERVER/SHARE in the prefix leading to a Linux folder.
#   links_fixture.sh WINE_ENV PREFIX ENGINE_TESTS_EXE
set -eu
wine_env=$1 prefix=$2 exe=$3
tree=$(mktemp -d "${TMPDIR:-/tmp}/orvelle-links.XXXXXX")
server=orvelle-fixture share=share-$$
unc=$prefix/dosdevices/unc/$server
cleanup() {
    rm -f "$unc/$share"
    rmdir "$unc" 2>/dev/null || true
    rm -rf "$tree"
}
trap cleanup EXIT
# The searched root holds the links; their target lies outside it.
mkdir -p "$tree/target" "$tree/root/top" "$tree/root/a." "$tree/filelink/aux"
printf canary >"$tree/target/con"
printf canary >"$tree/target/data.txt"
printf x >"$tree/root/top/plain.txt"
printf x >"$tree/root/a./x.txt"
ln -s "$tree/target" "$tree/root/top/link"
ln -s "$tree/target" "$tree/root/a./inner"
ln -s "$tree/target/data.txt" "$tree/filelink/nul"
ln -s "$tree/target/data.txt" "$tree/filelink/aux/inner"
printf x >"$tree/filelink/keep"
ln -s keep "$tree/filelink/keep."  # Wine names its handle "keep", as it names a plain "keep." too
# The share's folder: names Win32 refuses or reserves, as Linux makes them.
mkdir -p "$tree/shared/sub" "$tree/shared/aux" "$unc"
for name in nul x. 'trail ' 'a:b' 'p|q' 'COM¹' keep sub/con aux/inner; do printf x >"$tree/shared/$name"; done
ln -s "$tree/shared" "$unc/$share"
windows() { printf 'Z:%s' "$1" | tr / '\\'; }
ORVELLE_LINK_TREE=$(windows "$tree/root") ORVELLE_LINK_TARGET=$(windows "$tree/target") \
    ORVELLE_FILE_LINK_TREE=$(windows "$tree/filelink") \
    ORVELLE_SHARE="\\\\$server\\$share" ORVELLE_SHARE_TREE=$(windows "$tree/shared") \
    "$wine_env" --prefix "$prefix" run "$exe" --gtest_filter='Links.*'
# What the Linux side sees: the target and its canaries are whole, the file
# links are still links, and what the share could not delete is still there.
[ -f "$tree/target/con" ] && [ "$(cat "$tree/target/data.txt")" = canary ] ||
    { echo "the links' target was emptied" >&2; exit 1; }
[ -L "$tree/filelink/nul" ] && [ -L "$tree/filelink/aux/inner" ] && [ -L "$tree/filelink/keep." ] &&
    [ -f "$tree/filelink/keep" ] && [ ! -e "$tree/filelink/nul_" ] ||
    { echo "a file link was removed or renamed" >&2; exit 1; }
[ -f "$tree/shared/keep" ] || { echo "the share lost an unlisted entry" >&2; exit 1; }
