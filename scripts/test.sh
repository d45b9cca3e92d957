#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test twice: in the normal
# build and in a build with AddressSanitizer and UndefinedBehaviorSanitizer.
# The drawing tests run on Mesa's software renderer under Xvfb. Then every fuzz
# target runs for FUZZ_SECONDS (default 60) on its seed corpus.
set -euo pipefail
source "$(dirname "$0")/common.sh"

install_missing $build_packages $test_packages $fuzz_packages
start_xvfb

say "normal build"
configure_and_build build all -DTARNIX_TESTS=ON -DTARNIX_WERROR=ON -DTARNIX_SANITIZE=OFF
(cd "$repo/build" && ctest --output-on-failure -j "$jobs")

say "sanitizer build (AddressSanitizer, UndefinedBehaviorSanitizer)"
configure_and_build build-sanitize all -DTARNIX_TESTS=ON -DTARNIX_WERROR=ON -DTARNIX_SANITIZE=ON
(cd "$repo/build-sanitize" && ctest --output-on-failure -j "$jobs")

scripts_dir=$(dirname "$0")
"$scripts_dir/fuzz.sh" "${FUZZ_SECONDS:-60}"

say "all tests passed"
