#!/usr/bin/env bash
# Runs a command on an X server of its own (1024 x 768 unless the first
# argument is a size, WIDTHxHEIGHT), stopped when the command ends: for tests
# whose pointer or keys no other test may move.
#   own_display.sh [WIDTHxHEIGHT] COMMAND...
set -u
size=1024x768
[[ ${1-} =~ ^[0-9]+x[0-9]+$ ]] && { size=$1; shift; }
# shellcheck source=../../scripts/common.sh
source "$(dirname "$0")/../../scripts/common.sh"
start_xvfb "$size"
"$@"
