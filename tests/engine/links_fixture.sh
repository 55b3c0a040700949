#!/bin/sh
# Makes a tree with Linux symbolic links to a folder, which Wine shows as
# reparse points without a tag, and runs the link tests of engine_tests on it.
#   links_fixture.sh WINE_ENV PREFIX ENGINE_TESTS_EXE
set -eu
wine_env=$1 prefix=$2 exe=$3
tree=$(mktemp -d "${TMPDIR:-/tmp}/orvelle-links.XXXXXX")
trap 'rm -rf "$tree"' EXIT
# The searched root holds the links; their target lies outside it.
mkdir -p "$tree/target" "$tree/root/top" "$tree/root/a."
printf canary >"$tree/target/con"
printf canary >"$tree/target/data.txt"
printf x >"$tree/root/top/plain.txt"
printf x >"$tree/root/a./x.txt"
ln -s "$tree/target" "$tree/root/top/link"
ln -s "$tree/target" "$tree/root/a./inner"
windows() { printf 'Z:%s' "$1" | tr / '\\'; }
ORVELLE_LINK_TREE=$(windows "$tree/root") ORVELLE_LINK_TARGET=$(windows "$tree/target") \
    "$wine_env" --prefix "$prefix" run "$exe" --gtest_filter='Links.*'
# What the Linux side sees: the target and its canaries are whole.
[ -f "$tree/target/con" ] && [ -f "$tree/target/data.txt" ] || { echo "the link's target was emptied" >&2; exit 1; }
