#!/usr/bin/env bash
# Remakes the demo's reference frames (tests/app/demo/reference) when the demo
# is meant to change: builds the tests, draws every reference frame, writes
# those that changed and prints each with how far it moved. Review them (they
# are small pictures) and commit them with the change.
#   scripts/remake_references.sh
set -euo pipefail
# shellcheck source=common.sh
source "$(dirname "$0")/common.sh"

install_missing $build_packages $test_packages
configure_and_build test
if [ -z "${DISPLAY:-}" ]; then
    start_xvfb
fi
say "drawing the reference frames"
mkdir -p "$repo/tests/app/demo/reference"
log="$repo/build/remake_references.log"
status=0
TARNIX_REMAKE_REFERENCES=1 SDL_AUDIODRIVER=dummy "$repo/build/tests/test_demo_frames" \
    --gtest_filter=DemoFramesTest.FramesMatchTheirReferencesAndAMotionAStepOffDoesNot >"$log" 2>&1 || status=$?
grep -E '^(plain|calm|fps30)-|reference frames changed' "$log" || true
[ "$status" -eq 0 ] || { echo "the reference frames' test failed (a motion a step off passes?): $log" >&2; exit 1; }
git -C "$repo" status --short -- tests/app/demo/reference
