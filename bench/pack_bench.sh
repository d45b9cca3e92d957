#!/usr/bin/env bash
# Data-pack benchmark: ~50 files of 64 MB in all, timed in one run against the
# reference tools on the same input.
#   --createDataPack   against cat of the same files into one file (target: within 1.3x)
#   --hexdumpDataPack  against xxd of the same pack                (target: at least 5x as fast)
# and the peak memory of both (target: at most the pack size + 16 MB beyond the
# whole-file read of the pack; pack creation reads one data file at a time).
# Usage: bench/pack_bench.sh [path to tarnix]   (default: build/app/tarnix)
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
source "$repo/bench/timing.sh"
tarnix=$(realpath "${1:-$repo/build/app/tarnix}")
runs=7
for tool in xxd /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "needs $tool (apt-get install xxd time)"; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir data
total=$((64 * 1024 * 1024))
remaining=$total
for i in $(seq -w 1 50); do
    n=$((10#$i))
    size=$(( n == 50 ? remaining : (256 * 1024) + (n * 37 * 1024 * 7) % (2 * 1024 * 1024) ))
    [ "$size" -gt "$remaining" ] && size=$remaining
    head -c "$size" /dev/urandom > "data/file$i.bin"
    remaining=$((remaining - size))
done
echo "input: $(ls data | wc -l) files, $(du -sb data | cut -f1) bytes"

peak_kb() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -n 1; }

create_pack() { rm -f data/datafile.dat; "$tarnix" --createDataPack >/dev/null; }
cat_files() { cat data/*.bin > joined.bin; }
hexdump_pack() { "$tarnix" --hexdumpDataPack >/dev/null; }
xxd_pack() { xxd data/datafile.dat >/dev/null; }

cat_files; create_pack  # warm the page cache
create_ms=$(median_ms create_pack)
cat_ms=$(median_ms cat_files)
pack_bytes=$(stat -c %s data/datafile.dat)
hexdump_ms=$(median_ms hexdump_pack)
xxd_ms=$(median_ms xxd_pack)

baseline_kb=$(peak_kb "$tarnix" --version --convert3DtoDVM)
create_kb=$(peak_kb sh -c "rm -f data/datafile.dat; '$tarnix' --createDataPack")
hexdump_kb=$(peak_kb "$tarnix" --hexdumpDataPack)
pack_kb=$((pack_bytes / 1024))

echo
printf '%-34s %10s %10s %8s  %s\n' "operation" "tarnix ms" "ref ms" "ratio" "target"
printf '%-34s %10s %10s %8.2f  within 1.3x of cat: %s\n' "--createDataPack vs cat" "$create_ms" "$cat_ms" \
    "$(awk "BEGIN { print $create_ms / $cat_ms }")" "$(verdict "$create_ms <= 1.3 * $cat_ms")"
printf '%-34s %10s %10s %8.2f  at least 5x as fast as xxd: %s\n' "--hexdumpDataPack vs xxd (speed-up)" \
    "$hexdump_ms" "$xxd_ms" "$(awk "BEGIN { print $xxd_ms / $hexdump_ms }")" \
    "$(verdict "$xxd_ms >= 5 * $hexdump_ms")"
echo
echo "peak memory (KB): program alone $baseline_kb, pack $pack_kb"
echo "  --createDataPack  $create_kb  (beyond the program: $((create_kb - baseline_kb)), limit pack + 16 MB: $(verdict "$create_kb - $baseline_kb <= $pack_kb + 16384"))"
echo "  --hexdumpDataPack $hexdump_kb  (beyond the program and the pack read whole: $((hexdump_kb - baseline_kb - pack_kb)), limit 16 MB: $(verdict "$hexdump_kb - $baseline_kb - $pack_kb <= 16384"))"
