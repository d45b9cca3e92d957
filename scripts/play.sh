#!/usr/bin/env bash
# Installs what is missing, builds the program, generates the demo's data beside it
# and plays the demo. Escape ends it.
set -euo pipefail
source "$(dirname "$0")/common.sh"

install_missing $build_packages
configure_and_build build demo-data -DTARNIX_TESTS=OFF

cd "$repo"
if [ -z "${DISPLAY:-}" ]; then
    install_missing xvfb xauth
    say "no display (DISPLAY is not set): playing on a virtual X server, unseen; Ctrl-C ends it"
    start_xvfb
fi
say "playing; Escape ends the demo"
"$repo/build/app/tarnix" "$@"
