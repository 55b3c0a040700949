#!/usr/bin/env bash
# Builds and tests every preset: linux-asan natively, the linux-fuzz fuzzers
# for a few seconds each, win32 and win64 under Wine.
# Runs all of them even when one fails, prints a summary, and exits non-zero
# if anything failed.
#
#   ORVELLE_BUILD_ROOT   where the build trees go (default: build/ in the repository)
#   ORVELLE_PRESETS      presets to run (default: "linux-asan linux-fuzz win32 win64")
#   ORVELLE_JOBS         parallel build and test jobs (default: 2)

set -u

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root" || exit 1

"$root/scripts/install-deps.sh" || { echo "test.sh: installing dependencies failed" >&2; exit 1; }

build_root=${ORVELLE_BUILD_ROOT:-$root/build}
case $build_root in /*) ;; *) build_root=$root/$build_root ;; esac
read -r -a presets <<<"${ORVELLE_PRESETS:-linux-asan linux-fuzz win32 win64}"
jobs=${ORVELLE_JOBS:-2}

summary=()
failed=0
total_passed=0
total_failed=0

# Reads ctest's closing line ("..., N tests failed out of M") in LOG into
# run_failed and run_total, and adds them to the totals.
count_tests() {
    local line
    run_failed='' run_total=''
    line=$(grep -E 'tests? failed out of [0-9]+' "$1" | tail -n 1)
    if [[ $line =~ ([0-9]+)\ tests?\ failed\ out\ of\ ([0-9]+) ]]; then
        run_failed=${BASH_REMATCH[1]} run_total=${BASH_REMATCH[2]}
        total_failed=$((total_failed + run_failed))
        total_passed=$((total_passed + run_total - run_failed))
    fi
}

run_preset() {
    local preset=$1
    local dir=$build_root/$preset
    local log=$build_root/$preset-ctest.log

    echo
    echo "=== $preset: configure ($dir)"
    if ! cmake --preset "$preset" -B "$dir"; then
        summary+=("$preset: configure FAILED"); return 1
    fi
    echo "=== $preset: build"
    if ! cmake --build "$dir" -j "$jobs"; then
        summary+=("$preset: build FAILED"); return 1
    fi
    # The shipped 32-bit build runs natively where this machine executes i386
    # programs, otherwise under emulation (scripts/i386-route.sh).
    local route=
    if [ "$preset" = win32 ]; then
        route=$("$root/scripts/i386-route.sh" --cache "$build_root/i386-route" route)
        if [ "$route" = none ] || [ -z "$route" ]; then
            echo "=== $preset: tests NOT RUN: this machine cannot execute 32-bit programs and the emulated route failed"
            summary+=("$preset: built; tests NOT RUN (no way to execute 32-bit programs here)")
            return 1
        fi
        echo "=== $preset: 32-bit programs run $route"
    fi
    echo "=== $preset: test"
    local ctest=(ctest --test-dir "$dir" --output-on-failure --timeout 600 --no-tests=error -j "$jobs")
    case $preset in
        win32|win64)
            # The prefix must be the one the emulator in CMakeLists.txt uses.
            ctest=("$root/scripts/wine-env.sh" --prefix "$dir/wineprefix" session "${ctest[@]}")
            ;;
    esac
    if [ -n "$route" ]; then
        ctest=("$root/scripts/i386-route.sh" --cache "$build_root/i386-route" run "${ctest[@]}")
    fi
    local rc
    "${ctest[@]}" 2>&1 | tee "$log"
    rc=${PIPESTATUS[0]}
    count_tests "$log"
    if [ "$rc" -ne 0 ]; then
        summary+=("$preset: tests FAILED${run_total:+ ($run_failed of $run_total failed${route:+, $route i386})}"); return 1
    fi
    local how=
    case $route in
        native) how=", native i386" ;;
        emulated) how=", emulated i386" ;;
    esac
    summary+=("$preset: ok${run_total:+ ($run_total tests passed$how)}")
}

# One style for every source, as .clang-format writes it down.
echo "=== style"
unformatted=()
while IFS= read -r f; do
    clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || unformatted+=("$f")
done < <(git ls-files '*.cpp' '*.h')
if [ ${#unformatted[@]} -gt 0 ]; then
    printf '  not formatted (clang-format -i): %s\n' "${unformatted[@]}"
    summary+=("style: FAILED (${#unformatted[@]} sources not formatted)")
    failed=1
else
    summary+=("style: ok")
fi

mkdir -p "$build_root" || exit 1
for preset in "${presets[@]}"; do
    run_preset "$preset" || failed=1
done

echo
echo "=== summary"
printf '  %s\n' "${summary[@]}"
echo "tests: $total_passed passed, $total_failed failed"
exit $failed
