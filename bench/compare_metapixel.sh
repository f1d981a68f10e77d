#!/usr/bin/env bash
# Tessaro against metapixel on the same job, side by side in one run: 1500 generated
# pictures of 200x150 and a 1584x1008 main image (the demo picture, resized), made
# into a mosaic of 48 x 36 cells of 33 x 28 pixels by each program.
#
#   bench/compare_metapixel.sh BUILD [ROUNDS]
#
# BUILD is a build folder configured with -DTESSARO_BENCH=ON (for bench/psnr_tool)
# and built (for tessaro-cli and tools-bin/make_samples). metapixel comes from
# setup.sh; this script installs nothing.
#
# Times are wall-clock seconds of the whole work from the pictures on disk to the
# finished mosaic: for Tessaro one `tessaro-cli new` (signatures, cells, assignment,
# drawing, statistics); for metapixel `metapixel-prepare` (its library tables) plus
# `metapixel --metapixel`. With several rounds the two alternate who goes first and
# the median is reported.
#
# Quality: both mosaics and the main image are reduced by the same area averaging to
# 96 x 72 (2 x 2 samples per cell) and compared: PSNR in dB against the main image.
set -euo pipefail

build=${1:?usage: bench/compare_metapixel.sh BUILD [ROUNDS]}
rounds=${2:-1}
cli="$build/tessaro/tessaro-cli"
gen="$build/tools-bin/make_samples"
tool="$build/bench/psnr_tool"
for f in "$cli" "$gen" "$tool"; do
  [ -x "$f" ] || { echo "missing $f: configure BUILD with -DTESSARO_BENCH=ON and build it" >&2; exit 1; }
done
for p in metapixel metapixel-prepare; do
  command -v "$p" >/dev/null || { echo "$p not found: run ./setup.sh" >&2; exit 1; }
done

cols=48 rows=36 cw=33 ch=28
w=$((cols * cw)) h=$((rows * ch))  # 1584 x 1008

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

echo "making 1500 pictures of 200x150 and a ${w}x${h} main image ..."
"$gen" --kind photos --count 1500 --size 200x150 --seed 1 --out "$tmp/lib" >/dev/null
demo="$build/tessaro/demo/demo-main.jpg"
if [ ! -f "$demo" ]; then
  "$gen" --kind demo --out "$tmp/demo" >/dev/null
  demo=$(find "$tmp/demo" -name '*.jpg' | head -n 1)
fi
"$tool" resize "$demo" "$tmp/main.jpg" "$w" "$h"
npics=$(find "$tmp/lib" -iname '*.jpg' | wc -l)

now() { date +%s.%N; }
diff_s() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a - b }'; }

run_tessaro() {
  rm -rf "$tmp/ts"
  local t0 t1
  t0=$(now)
  "$cli" new --main "$tmp/main.jpg" --out-dir "$tmp/ts" --library "$tmp/lib" \
    --cell "${cw}x${ch}" --seed 1 >"$tmp/ts.out" 2>"$tmp/ts.log" ||
    { cat "$tmp/ts.log" >&2; exit 1; }
  t1=$(now)
  ts_folder=$(tail -n 1 "$tmp/ts.out")
  ts_times+=("$(diff_s "$t1" "$t0")")
}

run_metapixel() {
  rm -rf "$tmp/mp-lib" "$tmp/mp.png"
  mkdir -p "$tmp/mp-lib"
  local t0 t1 t2
  t0=$(now)
  metapixel-prepare -r --width="$cw" --height="$ch" "$tmp/lib" "$tmp/mp-lib" >"$tmp/mp-prep.log" 2>&1
  t1=$(now)
  metapixel --metapixel -l "$tmp/mp-lib" -w "$cw" -h "$ch" "$tmp/main.jpg" "$tmp/mp.png" \
    >"$tmp/mp.log" 2>&1 || { cat "$tmp/mp.log" >&2; exit 1; }
  t2=$(now)
  mp_prep+=("$(diff_s "$t1" "$t0")")
  mp_times+=("$(diff_s "$t2" "$t0")")
}

median() { printf '%s\n' "$@" | sort -g | awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }

ts_times=() mp_times=() mp_prep=()
for r in $(seq "$rounds"); do
  if (( r % 2 )); then run_tessaro; run_metapixel; else run_metapixel; run_tessaro; fi
  printf 'round %d: tessaro %.2f s   metapixel %.2f s (prepare %.2f s)\n' "$r" \
    "${ts_times[-1]}" "${mp_times[-1]}" "${mp_prep[-1]}"
done

ts=$(median "${ts_times[@]}")
mp=$(median "${mp_times[@]}")
mpp=$(median "${mp_prep[@]}")
ts_psnr=$("$tool" score "$tmp/main.jpg" "$ts_folder/output.bmp" $((2 * cols)) $((2 * rows)))
mp_psnr=$("$tool" score "$tmp/main.jpg" "$tmp/mp.png" $((2 * cols)) $((2 * rows)))

echo
echo "job: $npics pictures, ${cols} x ${rows} cells of ${cw} x ${ch}, main image ${w} x ${h}"
printf '%-10s %10s %12s\n' program "time (s)" "PSNR (dB)"
printf '%-10s %10.2f %12.2f\n' tessaro "$ts" "$ts_psnr"
printf '%-10s %10.2f %12.2f   (prepare %.2f s + mosaic %.2f s)\n' metapixel "$mp" "$mp_psnr" "$mpp" \
  "$(diff_s "$mp" "$mpp")"
echo
awk -v t="$ts" -v m="$mp" -v a="$ts_psnr" -v b="$mp_psnr" 'BEGIN {
  printf "time ratio tessaro/metapixel: %.3f (goal <= 0.2)\n", t / m
  printf "PSNR tessaro - metapixel: %+.2f dB (goal >= +6 dB)\n", a - b
}'
echo
echo "where Tessaro's time went (seconds since start, from its log):"
grep -E 'Initalize image lib.*Done|apply pattern\.+DONE|Pattern Rendered|Draw Mosaics\.+Done|All Job Done' \
  "$tmp/ts.log" | sed 's/^/  /'
