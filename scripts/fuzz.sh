#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a given time:
#   scripts/fuzz.sh [SECONDS-PER-TARGET] [TARGET...]
# (default 60 seconds, every target). With FUZZ_RUNS=N in the environment a
# target also stops after N executions, whichever comes first. Each target grows its own working corpus
# in build-fuzz/corpus/<target>, started from the seeds in fuzz/corpus (and, for
# the 3D Studio, DVM and pack readers, inputs of a mebibyte and more written by
# make_large_fuzz_inputs, with inputs up to 1.5 MiB long); an input
# that fails is kept as build-fuzz/crashes/<target>/crash-* (or leak-, timeout-,
# oom-). Once its cause is fixed, copy it to fuzz/regressions/<target>/ where
# the test build replays it. Prints executions, coverage and any failure per
# target, and exits 1 when a target failed. Targets run side by side, one a
# processor.
set -euo pipefail
# shellcheck source=common.sh
source "$(dirname "$0")/common.sh"

seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(pack_reader hexdump dvm_reader studio_import png_decoder registry wave_reader run_deflater sync_commands)

install_missing $build_packages $fuzz_packages
say "fuzz build (clang, libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)"
fuzz_build="$repo/build-fuzz"
# The preset "fuzz", only the targets asked for.
# shellcheck disable=SC2046 # the options are words of their own
(cd "$repo" && cmake --preset fuzz $(compiler_cache_options) >/dev/null &&
    cmake --build --preset fuzz -j "$jobs" --target make_large_fuzz_inputs $(printf 'fuzz_%s ' "${targets[@]}"))
"$fuzz_build/fuzz/make_large_fuzz_inputs" "$fuzz_build/large-inputs"

# Limits: a second per input, 512 MB in all, 128 MB in one allocation, and the
# harnesses' own budgets in proportion to each input. The engine's own messages
# (one line per bad file) are silenced; libFuzzer's are not.
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# AddressSanitizer keeps freed memory aside to catch late uses; 64 MB of it
# instead of 256 leaves room under the 512 MB for inputs that decode to a few
# megabytes each, as pictures do.
export ASAN_OPTIONS="quarantine_size_mb=64"
# One target's run; its summary goes to <target>.summary, its status to
# <target>.status. Both say "failed" from the start and are rewritten once the
# run is read: a run that dies on the way (before libFuzzer's first line, or
# in a step here that fails under set -e) is a failure, never silence.
fuzz_target() {
    local target=$1
    local corpus="$fuzz_build/corpus/$target" crashes="$fuzz_build/crashes/$target"
    local log="$fuzz_build/$target.log" summary="$fuzz_build/$target.summary"
    printf '== %s: ended before its summary was written; log in %s\n' "$target" "$log" >"$summary"
    echo 1 >"$fuzz_build/$target.status"
    mkdir -p "$corpus" "$crashes"
    cp -n "$repo/fuzz/corpus/$target"/* "$corpus"/
    local length=()
    if [ -d "$fuzz_build/large-inputs/$target" ]; then
        cp -n "$fuzz_build/large-inputs/$target"/* "$corpus"/
        length=(-max_len=1572864)
    fi
    local status=0
    "$fuzz_build/fuzz/fuzz_$target" "$corpus" "${length[@]}" -max_total_time="$seconds" -runs="${FUZZ_RUNS:--1}" -timeout=1 \
        -rss_limit_mb=512 -malloc_limit_mb=128 -close_fd_mask=3 -print_final_stats=1 \
        -artifact_prefix="$crashes/" >"$log" 2>&1 || status=$?
    # A target that died at once printed no coverage: its failure, not this script's.
    local runs coverage
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    coverage=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -1 || true)
    {
        printf '== %s: %s s\n' "$target" "$seconds"
        printf '   %s executions, %s, %s inputs in the corpus\n' "${runs:-?}" "${coverage:-no coverage}" "$(ls "$corpus" | wc -l)"
        if [ "$status" -ne 0 ]; then
            { grep -E '^==[0-9]+==ERROR|^SUMMARY|runtime error|tarnix fuzz:|ALARM|out-of-memory|malloc\(|deadly signal' "$log" || true; } |
                head -5 | sed 's/^/   /'
            echo "   status $status; input kept in $crashes, log in $log"
        fi
    } >"$summary.new"
    mv "$summary.new" "$summary"
    echo "$status" >"$fuzz_build/$target.status"
}

# As many targets at a time as there are processors, each for the full time:
# a target is one process on one core.
say "fuzzing ${#targets[@]} targets for $seconds s each, $jobs at a time"
failed=()
for ((first = 0; first < ${#targets[@]}; first += jobs)); do
    batch=("${targets[@]:first:jobs}")
    for target in "${batch[@]}"; do
        # An earlier run's word must not stand for this one's.
        rm -f "$fuzz_build/$target".{log,summary,summary.new,status}
        fuzz_target "$target" &
    done
    wait
    for target in "${batch[@]}"; do
        cat "$fuzz_build/$target.summary" 2>/dev/null || echo "== $target: no summary"
        [ "$(cat "$fuzz_build/$target.status" 2>/dev/null)" = 0 ] || failed+=("$target")
    done
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzzing failed: ${failed[*]}" >&2
    exit 1
fi
say "no failures"
