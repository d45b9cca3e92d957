#!/usr/bin/env bash
# Conversion benchmark: a 3DS file of about 200,000 triangles in several objects,
# with materials and texture coordinates, written by a real 3DS writer (assimp)
# and converted in one run by
#   tarnix --convert3DtoDVM         (target: at least as fast as the lib3ds reference)
#   the lib3ds reference            (load, flatten to raw arrays, write)
#   assimp export model.3ds x.obj   (about 10x slower than the reference)
# with the converter's peak memory against the size of the mesh in memory
# (target: at most 4x).
# Usage: bench/convert_bench.sh [build directory]   (default: build)
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
source "$repo/bench/timing.sh"
build=$(realpath "${1:-$repo/build}")
tarnix="$build/app/tarnix"
tool="$build/bench/bench_mesh_tool"
flatten="$build/bench/bench_lib3ds_flatten"
runs=5
for needed in assimp /usr/bin/time "$tarnix" "$tool" "$flatten"; do
    command -v "$needed" >/dev/null || { echo "needs $needed (apt-get install assimp-utils time; build the tests)"; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir data
"$tool" obj data model 8 113
assimp export data/model.obj data/model.3ds >/dev/null
echo "input: data/model.3ds, $(stat -c %s data/model.3ds) bytes, written by assimp"


convert() { "$tarnix" --convert3DtoDVM model.3ds; }
reference() { "$flatten" data/model.3ds flat.raw; }
assimp_export() { assimp export data/model.3ds back.obj; }

convert_ms=$(median_ms convert)
reference_ms=$(median_ms reference)
assimp_ms=$(median_ms assimp_export)
read -r mesh_bytes triangles objects < <("$tool" size data/model.dvm)
peak_kb=$(/usr/bin/time -f %M "$tarnix" --convert3DtoDVM model.3ds 2>&1 >/dev/null | tail -n 1)
baseline_kb=$(/usr/bin/time -f %M "$tarnix" --convert3DtoDVM 2>&1 >/dev/null | tail -n 1)
mesh_kb=$((mesh_bytes / 1024))

echo "mesh: $triangles triangles in $objects sub-objects, $mesh_kb KB in memory"
echo
printf '%-40s %10s\n' "conversion" "ms"
printf '%-40s %10s\n' "tarnix --convert3DtoDVM" "$convert_ms"
printf '%-40s %10s\n' "lib3ds reference (load, flatten, write)" "$reference_ms"
printf '%-40s %10s\n' "assimp export model.3ds model.obj" "$assimp_ms"
printf '%-40s %10.2f  (target <= 1: %s)\n' "ratio tarnix / lib3ds reference" \
    "$(awk "BEGIN { print $convert_ms / $reference_ms }")" "$(verdict "$convert_ms <= $reference_ms")"
printf '%-40s %10.2f\n' "ratio assimp / tarnix" "$(awk "BEGIN { print $assimp_ms / $convert_ms }")"
echo
echo "peak memory: $peak_kb KB, of it beyond the program alone $((peak_kb - baseline_kb)) KB" \
     "= $(awk "BEGIN { printf \"%.2f\", ($peak_kb - $baseline_kb) / $mesh_kb }")x the mesh" \
     "(target <= 4x: $(verdict "($peak_kb - $baseline_kb) <= 4 * $mesh_kb"))"
