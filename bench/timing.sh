# Timing helpers shared by the bench scripts. Sourced, not run; the script sets
# $runs first.

now() { date +%s%N; }

# median_ms COMMAND...: the median wall time of $runs runs, in milliseconds;
# the command's output is discarded.
median_ms() {
    local times=()
    for _ in $(seq "$runs"); do
        local start end
        start=$(now)
        "$@" >/dev/null 2>&1
        end=$(now)
        times+=($(( (end - start) / 1000 )))
    done
    printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p" | awk '{printf "%.1f", $1 / 1000}'
}

# verdict CONDITION: "meets" when the awk condition holds, else "MISSES".
verdict() { if awk "BEGIN { exit !($1) }"; then echo "meets"; else echo "MISSES"; fi; }
