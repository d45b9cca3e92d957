#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: in the normal build
# (which also makes and checks the release archive), again there on SDL 1.2's
# compatibility layer over SDL 2 (the tests that reach SDL), and in a build
# with AddressSanitizer and UndefinedBehaviorSanitizer.
# The drawing tests run on Mesa's software renderer under Xvfb. Then every fuzz
# target runs for FUZZ_SECONDS (default 30) on its seed corpus, as many at a
# time as there are processors. Each step says how long it took.
set -euo pipefail
# shellcheck source=common.sh
source "$(dirname "$0")/common.sh"

install_missing $build_packages $test_packages $fuzz_packages $web_packages $web_test_packages
start_xvfb
say_time "packages and Xvfb"

# ctest's timings of each tree's last run (its cost data), kept in the cache
# folder: a clean clone then starts the longest tests first, as a tree that
# ran before does, and no long test is left to run on alone at the end.
timings="$tarnix_cache/test-timings"
restore_timings() {  # TREE NAME
    local data="$1/Testing/Temporary/CTestCostData.txt"
    if [ ! -f "$data" ] && [ -f "$timings/$2" ]; then
        mkdir -p "$(dirname "$data")"
        cp "$timings/$2" "$data"
    fi
}
keep_timings() {  # TREE NAME
    local data="$1/Testing/Temporary/CTestCostData.txt"
    if [ -f "$data" ]; then
        mkdir -p "$timings"
        cp "$data" "$timings/$2"
    fi
}

say "normal build"
# The preset "test" is without link-time optimisation (a third less build
# time) and with line tables only (-g1: a third less for the tests' files),
# and nothing the tests look at depends on either (the releases have the one
# and need not the other).
configure_and_build test
say_time "normal build"

# The figures the tests measure (PSNR, times, sizes), printed at the end
# whether they passed or not.
figures="$repo/build/figures.txt"
: >"$figures"
restore_timings "$repo/build" normal
(cd "$repo/build" && TARNIX_FIGURES="$figures" ctest --output-on-failure -j "$jobs")
say_time "tests in the normal build"

say "again on SDL 1.2's compatibility layer over SDL 2: the tests that reach SDL (labelled sdl)"
compat=$(sdl12_compat_directory)
# ldd's whole list first: grep -q leaving the pipe early would fail it under pipefail.
libraries=$(LD_LIBRARY_PATH="$compat" ldd "$repo/build/app/tarnix")
grep -q "$compat/libSDL-1.2.so.0" <<<"$libraries" ||
    { echo "the compatibility layer in $compat is not the one the program loads" >&2; exit 1; }
# The tests labelled sdl-once run on the release's SDL only (tests/CMakeLists.txt
# says why each label is given).
(cd "$repo/build" && LD_LIBRARY_PATH="$compat" ctest --output-on-failure --no-tests=error -j "$jobs" -L '^sdl$' \
    -LE '^sdl-once$')
keep_timings "$repo/build" normal
say_time "tests on the compatibility layer"

say "sanitizer build (AddressSanitizer, UndefinedBehaviorSanitizer)"
configure_and_build sanitize
say_time "sanitizer build"
# What the sanitizers add nothing to (the tests labelled once: long runs of
# the same code, checks of the scripts, the data's bytes, the screen's layout
# and the program's latencies) runs in the normal build only.
sanitizer_figures="$repo/build-sanitize/figures.txt"
: >"$sanitizer_figures"
restore_timings "$repo/build-sanitize" sanitize
(cd "$repo/build-sanitize" && TARNIX_FIGURES="$sanitizer_figures" ctest --output-on-failure -j "$jobs" -LE '^once$')
keep_timings "$repo/build-sanitize" sanitize
say_time "tests in the sanitizer build"

"$(dirname "$0")/fuzz.sh" "${FUZZ_SECONDS:-30}"
say_time "fuzzing"

say "figures of the normal build's tests"
sort "$figures"
say "figures of the sanitizer build's tests"
sort "$sanitizer_figures"
say "all tests passed in $(elapsed_since_start)"
