#!/usr/bin/env bash
# Decoding the same 12-megapixel JPEG with djpeg (libjpeg-turbo-progs) and with our
# LoadPicture, side by side in one run: rounds alternate which decoder goes first, so
# drift in machine load hits both alike.
#
#   bench/compare_djpeg.sh [build-folder] [rounds] [decodes-per-round]
#
# Times are CPU time (user + system), which a busy machine disturbs far less than
# wall time. djpeg runs once per decode, so its figure includes a process start-up
# each time. Ours is one process decoding N times into one bitmap: "all" is that
# whole process per decode (start-up, and the first two decodes, which must bring
# in fresh memory for the bitmap and the decoder's spare buffer); "steady" is the
# decodes after those two, as the program's signature loop runs them.
set -euo pipefail

build=${1:-build}
rounds=${2:-5}
n=${3:-10}
bin="$build/bench/bench_jpeg"
[ -x "$bin" ] || { echo "no $bin: configure with -DTESSARO_BENCH=ON and build" >&2; exit 1; }
command -v djpeg >/dev/null || { echo "djpeg not found (package libjpeg-turbo-progs)" >&2; exit 1; }
(( n >= 3 )) || { echo "need at least 3 decodes per round" >&2; exit 1; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
photo="$tmp/photo.jpg"
"$bin" --make-photo "$photo"
echo "photo: $(stat -c %s "$photo") bytes, 4000x3000; $rounds rounds of $n decodes each"

TIMEFORMAT='%3U %3S'
cpu_ms() { awk '{ printf "%.3f", ($1 + $2) * 1000 }' "$1"; }  # from a `time` line
run_djpeg() {
  { time for _ in $(seq "$n"); do djpeg -outfile /dev/null "$photo"; done; } 2>"$tmp/djpeg.time"
}
run_ours() {
  { time "$bin" --decode "$photo" "$n" >"$tmp/ours.out"; } 2>"$tmp/ours.time"
}

rows=()
for r in $(seq "$rounds"); do
  if (( r % 2 )); then run_djpeg; run_ours; else run_ours; run_djpeg; fi
  d=$(cpu_ms "$tmp/djpeg.time")
  o=$(cpu_ms "$tmp/ours.time")
  s=$(sed -n 's/.*rest \([0-9.]*\)$/\1/p' "$tmp/ours.out")
  rows+=("$d $o $s")
  awk -v r="$r" -v d="$d" -v o="$o" -v s="$s" -v n="$n" 'BEGIN {
    printf "round %d: djpeg %6.1f ms   ours all %6.1f ms (%.3fx)   ours steady %6.1f ms (%.3fx)\n",
           r, d / n, o / n, o / d, s, s / (d / n) }'
done

median=$(printf '%s\n' "${rows[@]}" | awk -v n="$n" '{ print $3 / ($1 / n) }' | sort -n |
  awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }')
printf '%s\n' "${rows[@]}" | awk -v n="$n" -v m="$median" '
  { d += $1; o += $2; s += $3 }
  END {
    printf "mean:    djpeg %6.1f ms   ours all %6.1f ms (%.3fx)   ours steady %6.1f ms (%.3fx, median of rounds %.3fx)\n",
           d / n / NR, o / n / NR, o / d, s / NR, (s / NR) / (d / n / NR), m
  }'
