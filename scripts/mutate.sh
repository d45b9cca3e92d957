#!/usr/bin/env bash
# Plants the one-line faults of tests/mutations.txt in the sources, one at a
# time, builds, runs the tests that must catch each and prints whether they
# did ("caught") or not ("SURVIVED"); the sources are put back after each,
# and on any exit. A fault whose line is no longer in its file is "stale":
# mend the list with the code.
#   scripts/mutate.sh [WORD]     only the faults whose name holds WORD
# Uses the test build (build/, the preset "test"), on a virtual X server when
# there is no display. Ends with status 1 when a fault survived or is stale.
set -euo pipefail
# shellcheck source=common.sh
source "$(dirname "$0")/common.sh"

only=${1:-}
list="$repo/tests/mutations.txt"
install_missing $build_packages $test_packages
configure_and_build test >/dev/null
if [ -z "${DISPLAY:-}" ]; then
    start_xvfb
fi

planted="" original=""
put_back() {
    if [ -n "$planted" ]; then
        cp "$original" "$planted"
        planted=""
    fi
}
work=$(mktemp -d)
trap 'put_back; rm -rf "$work"; [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null; true' EXIT
original="$work/original"

# plant FILE FROM TO: FROM, found exactly once in FILE, becomes TO.
plant() {
    local file=$repo/$1 count
    [ -f "$file" ] || return 1
    count=$(grep -cF -- "$2" "$file" || true)
    [ "$count" -eq 1 ] || return 1
    cp "$file" "$original"
    planted=$file
    FROM=$2 TO=$3 perl -0pi -e 's/\Q$ENV{FROM}\E/$ENV{TO}/' "$file"
}

results=() survived=0 stale=0 total=0
# run_fault NAME FILE FROM TO TESTS
run_fault() {
    local started=$SECONDS outcome
    total=$((total + 1))
    if ! plant "$2" "$3" "$4"; then
        outcome=stale
        stale=$((stale + 1))
    else
        # Every target that can be built is (make's -k): a fault that breaks
        # the build's own steps (the demo's data is made with the program)
        # still meets its tests. The compiler refusing it is the list's fault.
        local built=true
        cmake --build "$repo/build" -j "$jobs" -- -k >"$work/build.log" 2>&1 || built=false
        if grep -q ': error: ' "$work/build.log"; then
            outcome="does not build"
            stale=$((stale + 1))
        elif (cd "$repo/build" && ctest -R "$5" -j "$jobs" --timeout 600 >"$work/tests.log" 2>&1); then
            if $built; then
                outcome=SURVIVED
                survived=$((survived + 1))
            else
                outcome="caught by the build alone"
            fi
        else
            outcome="caught ($(grep -c '\*\*\*Failed\|\*\*\*Exception\|\*\*\*Timeout' "$work/tests.log" || true) failed)"
        fi
    fi
    put_back
    results+=("$(printf '%-58s %-24s %4d s' "$1" "$outcome" $((SECONDS - started)))")
    echo "${results[-1]}"
}

say "planting the faults of tests/mutations.txt${only:+ whose name holds \"$only\"}"
name="" file="" from="" to="" tests=""
flush_fault() {
    if [ -n "$name" ] && [[ -z $only || $name == *"$only"* ]]; then
        run_fault "$name" "$file" "$from" "$to" "$tests"
    fi
    name="" file="" from="" to="" tests=""
}
while IFS= read -r -u 3 line || [ -n "$line" ]; do
    case $line in
    "#"*) ;;
    "") flush_fault ;;
    "fault: "*) name=${line#fault: } ;;
    "file: "*) file=${line#file: } ;;
    "from: "*) from=${line#from: } ;;
    "to: "*) to=${line#to: } ;;
    "tests: "*) tests=${line#tests: } ;;
    *) echo "tests/mutations.txt: cannot read the line \"$line\"" >&2; exit 2 ;;
    esac
done 3<"$list"
flush_fault

say "putting the sources back and building them"
cmake --build "$repo/build" -j "$jobs" >/dev/null
say "$total faults: $((total - survived - stale)) caught, $survived survived, $stale stale or not building"
[ "$survived" -eq 0 ] && [ "$stale" -eq 0 ]
