#!/usr/bin/env bash
# Measures the program against reference walks and deletions, all under the
# same Wine, and writes a table of medians. Nothing here is a test: the
# figures depend on the machine and are read, not asserted.
#
#   bench/run.sh [RUNS]        (default 3 runs per figure; needs scripts/install-deps.sh)
#
#   ORVELLE_BENCH_DIR   where the generated trees go (default /tmp/orvelle-bench)
#   ORVELLE_BENCH_HUGE  set to 0 to leave out the tree of 1,000,000 entries
#   ORVELLE_BUILD_ROOT  build trees (default build/)
#   ORVELLE_BENCH_PRESET  win32 (the shipped build, default) or win64
#   ORVELLE_BENCH_TREES  the walk trees to measure (default: wide flat flat20k deep huge)
#   ORVELLE_BENCH_DELETE  set to 0 to leave out the deletions of flat and rows5k
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
runs=${1:-3}
data=${ORVELLE_BENCH_DIR:-/tmp/orvelle-bench}
preset=${ORVELLE_BENCH_PRESET:-win32}
build=${ORVELLE_BUILD_ROOT:-$root/build}/$preset
out=$build/bench-results.md

"$root/scripts/install-deps.sh"
cmake --preset "$preset" -B "$build" >/dev/null
cmake --build "$build" -j 2 --target Orvelle OrvelleScan RawWalk RawDelete SearchProbe DeleteProbe

trees=(wide flat flat20k deep)
[ "${ORVELLE_BENCH_HUGE:-1}" = 0 ] || trees+=(huge)
[ -z "${ORVELLE_BENCH_TREES:-}" ] || read -r -a trees <<<"$ORVELLE_BENCH_TREES"
mkdir -p "$data"
# The deletions copy flat and rows5k whatever trees are walked.
extra=(rows5k rows100k)
[ "${ORVELLE_BENCH_DELETE:-1}" = 0 ] || extra+=(flat)
for t in "${trees[@]}" "${extra[@]}"; do
    [ -e "$data/$t.done" ] && continue
    echo "generating $t ..."
    rm -rf "${data:?}/$t"
    python3 "$root/bench/gen_tree.py" "$t" "$data/$t"
    touch "$data/$t.done"
done

winpath() { printf 'Z:%s' "${1//\//\\}"; }
median() { sort -g | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }
field() { sed -n "s/.*$1 \([0-9.]*\).*/\1/p"; }

# Everything Windows runs in one session: one Wine server, one display.
inner() {
    set -euo pipefail
    local exe_dir
    exe_dir=$(mktemp -d)
    cp "$build/app/Orvelle.exe" "$exe_dir/"  # its settings file stays out of the build tree
    # OrvelleScan exits 1 when it lists rows: a figure, not a failure.
    wine_run() { wine "$@" </dev/null 2>/dev/null || true; }
    ms() { local s e; s=$(date +%s%N); "$@" >/dev/null 2>&1 </dev/null; e=$(date +%s%N); echo $(((e - s) / 1000000)); }
    hwm_kb() { awk '/VmHWM/ {print $2}' "/proc/$1/status" 2>/dev/null || true; }
    peak_kb() {  # VmHWM of a Wine program, read while it runs
        "$@" >/dev/null 2>&1 </dev/null &
        local pid=$! peak=0 v
        while kill -0 "$pid" 2>/dev/null; do
            v=$(hwm_kb "$pid")
            [ -n "$v" ] && [ "$v" -gt "$peak" ] && peak=$v
            sleep 0.05
        done
        wait "$pid" || true
        echo "$peak"
    }
    # SearchProbe driving the program, with the peak memory of the program
    # (the Wine process whose first word is the exe) appended as peak-kb.
    # The program (this run's copy) is looked up once: a look through every
    # process each time took CPU from the program being timed, which the
    # console's walk is not.
    probe() {
        local res; res=$(mktemp)
        wine "$build/bench/SearchProbe.exe" "$(winpath "$exe_dir")\\Orvelle.exe" "$1" >"$res" 2>/dev/null </dev/null &
        local pid=$! peak=0 v p program=
        while kill -0 "$pid" 2>/dev/null; do
            if [ -z "$program" ] || [ ! -e "/proc/$program" ]; then
                program=$(pgrep -f "^[^ ]*$(basename "$exe_dir").Orvelle\.exe" | head -n 1 || true)
            fi
            if [ -n "$program" ]; then
                v=$(hwm_kb "$program")
                [ -n "$v" ] && [ "$v" -gt "$peak" ] && peak=$v
            fi
            sleep 0.05
        done
        wait "$pid" || true
        echo "$(cat "$res") peak-kb $peak"
        rm -f "$res"
    }
    {
        echo "| tree | what | ours (ms) | reference (ms) | ratio |"
        echo "|---|---|---|---|---|"
    } >"$out.tmp"
    : >"$out.mem"
    row() { awk -v t="$1" -v w="$2" -v a="$3" -v b="$4" 'BEGIN {printf "| %s | %s | %.0f | %.0f | %.2f |\n", t, w, a, b, (b > 0 ? a / b : 0)}' >>"$out.tmp"; }

    for t in "${trees[@]}"; do
        local w; w=$(winpath "$data/$t")
        local eng=() raw=() dir=() fnd=() srch=() wait=() mem=()
        for ((i = 0; i < runs; i++)); do
            raw+=("$(wine_run "$build/bench/RawWalk.exe" "$w" | field ms)")
            eng+=("$(wine_run "$build/tools/OrvelleScan.exe" --quiet "$w" | field walk-ms)")
            dir+=("$(ms wine cmd /c dir /s /b /a "$w")")
            fnd+=("$(ms find "$data/$t")")
            local p; p=$(probe "$w")
            srch+=("$(echo "$p" | field search-ms)")
            wait+=("$(echo "$p" | field longest-wait-ms)")
            mem+=("$(echo "$p" | field peak-kb)")
        done
        local m_raw m_eng; m_raw=$(printf '%s\n' "${raw[@]}" | median); m_eng=$(printf '%s\n' "${eng[@]}" | median)
        row "$t" "engine walk vs raw FindFirstFileA walk" "$m_eng" "$m_raw"
        row "$t" "cmd /c dir /s /b /a (peer) vs raw walk" "$(printf '%s\n' "${dir[@]}" | median)" "$m_raw"
        row "$t" "Linux find (floor) vs raw walk" "$(printf '%s\n' "${fnd[@]}" | median)" "$m_raw"
        if [ ${#srch[@]} -gt 0 ]; then
            row "$t" "window: press to summary box vs raw walk" "$(printf '%s\n' "${srch[@]}" | median)" "$m_raw"
            row "$t" "window: longest wait for a message (ms) vs 100" "$(printf '%s\n' "${wait[@]}" | median)" 100
            printf '%s %s\n' "$t" "$(printf '%s\n' "${mem[@]}" | median)" >>"$out.mem"
        fi
    done

    # The same tree searched through a share (a Wine share is a link under
    # dosdevices/unc) and from its drive path, side by side.
    mkdir -p "$WINEPREFIX/dosdevices/unc/bench"
    ln -sfn "$data" "$WINEPREFIX/dosdevices/unc/bench/trees"
    local shr=() drv=()
    for ((i = 0; i < runs; i++)); do
        drv+=("$(wine_run "$build/tools/OrvelleScan.exe" --quiet "$(winpath "$data/wide")" | field walk-ms)")
        shr+=("$(wine_run "$build/tools/OrvelleScan.exe" --quiet '\\bench\trees\wide' | field walk-ms)")
    done
    row wide "share search vs drive search of the same tree" "$(printf '%s\n' "${shr[@]}" | median)" \
        "$(printf '%s\n' "${drv[@]}" | median)"

    if [ "${ORVELLE_BENCH_DELETE:-1}" != 0 ]; then
    local ours=() ref=()
    for ((i = 0; i < runs; i++)); do
        rm -rf "$data/del-a" "$data/del-b"
        cp -a "$data/flat" "$data/del-a"
        cp -a "$data/flat" "$data/del-b"
        ours+=("$(wine_run "$build/tools/OrvelleScan.exe" --quiet --delete --yes "$(winpath "$data/del-a")" | field delete-ms)")
        ref+=("$(wine_run "$build/bench/RawDelete.exe" "$(winpath "$data/del-b")" | field ms)")
    done
    rm -rf "$data/del-a" "$data/del-b"
    row flat "delete 10,000 listed entries vs raw DeleteFileA loop" "$(printf '%s\n' "${ours[@]}" | median)" \
        "$(printf '%s\n' "${ref[@]}" | median)"

    # The window deleting 5,000 rows against the console deleting the same
    # rows of a copy of the same tree; the same run sorts the 5,000 rows.
    local win=() con=() sorts=() dwait=()
    for ((i = 0; i < runs; i++)); do
        rm -rf "$data/del-a" "$data/del-b"
        cp -a "$data/rows5k" "$data/del-a"
        cp -a "$data/rows5k" "$data/del-b"
        local d; d=$(wine "$build/bench/DeleteProbe.exe" "$(winpath "$exe_dir")\\Orvelle.exe" "$(winpath "$data/del-a")" 2>/dev/null </dev/null || true)
        echo "DeleteProbe: $d" >&2
        win+=("$(echo "$d" | field delete-ms)")
        sorts+=("$(echo "$d" | field sort-ms)")
        dwait+=("$(echo "$d" | field longest-wait-ms)")
        con+=("$(wine_run "$build/tools/OrvelleScan.exe" --quiet --delete --yes "$(winpath "$data/del-b")" | field delete-ms)")
    done
    rm -rf "$data/del-a" "$data/del-b"
    row rows5k "window: delete 5,000 rows vs OrvelleScan --delete" "$(printf '%s\n' "${win[@]}" | median)" \
        "$(printf '%s\n' "${con[@]}" | median)"
    row rows5k "window: longest wait while deleting (ms) vs 100" "$(printf '%s\n' "${dwait[@]}" | median)" 100
    row rows5k "window: sort 5,000 rows (ms) vs 300" "$(printf '%s\n' "${sorts[@]}" | median)" 300

    fi

    # 100,000 rows (500 folders of 200 nul.NNN): the window's search against
    # the console's walk of the same tree, the peak memory of both, and the
    # window checking, inverting, sorting and deleting them all (on a copy).
    local r100 rsrch=() rwalk=() rmem=() rcmem=() rall=() rinv=() rsort=() rwait=() rdel=() rdcon=()
    r100=$(winpath "$data/rows100k")
    for ((i = 0; i < runs; i++)); do
        # The last round's copies and deletions written out first, and the
        # console's walk right before the window's search: the writing-out
        # had slowed whichever came first.
        sync
        rwalk+=("$(wine_run "$build/tools/OrvelleScan.exe" --quiet "$r100" | field walk-ms)")
        local p; p=$(probe "$r100")
        echo "SearchProbe rows100k: $p walk-ms ${rwalk[-1]}" >&2
        rsrch+=("$(echo "$p" | field search-ms)")
        rmem+=("$(echo "$p" | field peak-kb)")
        rcmem+=("$(peak_kb wine "$build/tools/OrvelleScan.exe" --quiet "$r100")")
        rm -rf "$data/del-a" "$data/del-b"
        cp -a "$data/rows100k" "$data/del-a"
        cp -a "$data/rows100k" "$data/del-b"
        local d; d=$(wine "$build/bench/DeleteProbe.exe" "$(winpath "$exe_dir")\\Orvelle.exe" "$(winpath "$data/del-a")" 2>/dev/null </dev/null || true)
        echo "DeleteProbe rows100k: $d" >&2
        rall+=("$(echo "$d" | field checkall-ms)")
        rinv+=("$(echo "$d" | field invert-ms)")
        rsort+=("$(echo "$d" | field sort-ms)")
        rwait+=("$(echo "$d" | field longest-wait-ms)")
        rdel+=("$(echo "$d" | field delete-ms)")
        rdcon+=("$(wine_run "$build/tools/OrvelleScan.exe" --quiet --delete --yes "$(winpath "$data/del-b")" | field delete-ms)")
    done
    rm -rf "$data/del-a" "$data/del-b"
    local m_rwalk; m_rwalk=$(printf '%s\n' "${rwalk[@]}" | median)
    row rows100k "window: press to summary box vs OrvelleScan walk (goal 1.3)" "$(printf '%s\n' "${rsrch[@]}" | median)" "$m_rwalk"
    row rows100k "window: check all (ms) vs 300" "$(printf '%s\n' "${rall[@]}" | median)" 300
    row rows100k "window: invert checks (ms) vs 300" "$(printf '%s\n' "${rinv[@]}" | median)" 300
    row rows100k "window: sort (ms) vs 300" "$(printf '%s\n' "${rsort[@]}" | median)" 300
    row rows100k "window: longest wait while deleting (ms) vs 100" "$(printf '%s\n' "${rwait[@]}" | median)" 100
    row rows100k "window: delete all rows vs OrvelleScan --delete" "$(printf '%s\n' "${rdel[@]}" | median)" "$(printf '%s\n' "${rdcon[@]}" | median)"
    row rows100k "peak memory (KiB): window search vs OrvelleScan walk" "$(printf '%s\n' "${rmem[@]}" | median)" "$(printf '%s\n' "${rcmem[@]}" | median)"

    echo >>"$out.tmp"
    echo "| tree | peak memory (VmHWM, KiB): engine walk | window search |" >>"$out.tmp"
    echo "|---|---|---|" >>"$out.tmp"
    for t in wide flat20k huge; do
        [[ " ${trees[*]} " == *" $t "* ]] || continue  # ORVELLE_BENCH_HUGE=0 leaves huge out
        echo "| $t | $(peak_kb wine "$build/tools/OrvelleScan.exe" --quiet "$(winpath "$data/$t")") |" \
            "$(awk -v t="$t" '$1 == t {print $2}' "$out.mem") |" >>"$out.tmp"
    done
    rm -f "$out.mem"
    rm -rf "$exe_dir"
    mv "$out.tmp" "$out"
}
export -f inner winpath median field
export build data runs out
export trees_list="${trees[*]}"
# A 32-bit build on a machine that cannot run i386 code goes through the
# emulation route: its figures are then of the emulated program, both sides alike.
route=()
[ "$preset" = win32 ] && route=("$root/scripts/i386-route.sh" --cache "${ORVELLE_BUILD_ROOT:-$root/build}/i386-route" run)
"${route[@]}" "$root/scripts/wine-env.sh" --prefix "$build/wineprefix" session bash ${ORVELLE_BENCH_TRACE:+-x} -c 'trees=($trees_list); inner'
cat "$out"
echo "(written to $out)"
