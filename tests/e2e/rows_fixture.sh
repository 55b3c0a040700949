#!/bin/sh
# Rows that leave OrvelleScan and come back through --from name the entries
# they were listed as. Names Windows programs cannot make are made from the
# Linux side: a TAB and a line break in a name (Wine lists them and refuses
# to open them), a byte that is no UTF-8 (Wine lists it as U+FFFD) beside a
# name really holding U+FFFD.
#   rows_fixture.sh WINE_ENV PREFIX ORVELLESCAN_EXE
set -eu
wine_env=$1 prefix=$2 exe=$3
tree=$(mktemp -d "${TMPDIR:-/tmp}/orvelle-rows.XXXXXX")
trap 'rm -rf "$tree"' EXIT
windows() { printf 'Z:%s' "$1" | tr / '\\'; }
scan() { LC_ALL=zh_CN.UTF-8 "$wine_env" --prefix "$prefix" run "$exe" "$@" </dev/null; }
fail() { echo "rows_fixture: $*" >&2; exit 1; }

for form in text utf8 json; do
    rm -rf "$tree/F" && mkdir -p "$tree/F"
    printf keep >"$tree/F/keep"
    printf tab >"$tree/F/$(printf 'keep\tx')"
    printf lf >"$tree/F/$(printf 'keep\nx.')"
    printf byte >"$tree/F/$(printf 'k\377.')"
    printf fffd >"$tree/F/$(printf 'k\357\277\275.')"
    printf x >"$tree/F/nul"
    case $form in
        text) scan "$(windows "$tree/F")" >"$tree/rows" 2>/dev/null || true ;;
        utf8) scan --utf8 "$(windows "$tree/F")" >"$tree/rows" 2>/dev/null || true ;;
        json) scan --json "$(windows "$tree/F")" >"$tree/rows" 2>/dev/null || true ;;
    esac
    extra=
    [ $form = utf8 ] && extra=--utf8
    scan --from "$(windows "$tree/rows")" --delete --yes $extra >"$tree/outcomes" 2>"$tree/err" || true
    # Never a neighbour of a listed name.
    [ -f "$tree/F/keep" ] || fail "$form: keep, which was never listed, was deleted for keep<TAB>x or keep<LF>x."
    [ "$(cat "$tree/F/keep")" = keep ] || fail "$form: keep changed"
    # The rows that name themselves go; Wine cannot open names with control characters.
    [ ! -e "$tree/F/nul" ] || fail "$form: the listed nul stayed"
    [ -e "$tree/F/$(printf 'keep\tx')" ] || fail "$form: Wine deleted a name it refuses to open?"
    # Wine shows both k-names as k\uFFFD.: one of them may go, as itself; with
    # JSON rows only the one Wine really opens under that name, never the other for it.
    left=0
    [ -e "$tree/F/$(printf 'k\377.')" ] && left=$((left + 1))
    [ -e "$tree/F/$(printf 'k\357\277\275.')" ] && left=$((left + 1))
    [ $left -ge 1 ] || [ $form != json ] || fail "$form: both k-names went, though Wine reaches only one"
    grep -q 'failed' "$tree/outcomes" || fail "$form: no row failed: $(cat "$tree/outcomes")"
done
echo "rows_fixture: ok"
