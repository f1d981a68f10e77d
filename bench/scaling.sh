#!/usr/bin/env bash
# End-to-end times of `tessaro-cli new` as the job grows: pictures x cells of
# 1000 x 1000, 5000 x 5000 and 5000 x 20000, each with and without UseAllPhotos;
# 1000 x 1000 with all 24 rotation angles; and the peak memory of one 10000 x 10000
# page. Pictures are 200x150 from tools-bin/make_samples; cells are 20 x 20 pixels
# (100 x 100 for the big page), the main image is the demo picture.
#
#   bench/scaling.sh BUILD
#
# Each row gives the wall time and maximum resident set of the whole process (GNU
# time) and, from the job's time-stamped log, the seconds spent in each step:
# library signatures, pattern (cells and their signatures), assignment, drawing, and
# the statistics at the end.
set -euo pipefail

build=${1:?usage: bench/scaling.sh BUILD}
cli="$build/tessaro/tessaro-cli"
gen="$build/tools-bin/make_samples"
for f in "$cli" "$gen" /usr/bin/time; do
  [ -x "$f" ] || { echo "missing $f (build BUILD; GNU time comes from setup.sh)" >&2; exit 1; }
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

echo "making the picture libraries (1000 and 5000 pictures of 200x150) ..." >&2
"$gen" --kind photos --count 1000 --size 200x150 --seed 1 --out "$tmp/lib1000" >/dev/null
"$gen" --kind photos --count 5000 --size 200x150 --seed 2 --out "$tmp/lib5000" >/dev/null
main="$build/tessaro/demo/demo-main.jpg"
if [ ! -f "$main" ]; then
  "$gen" --kind demo --out "$tmp/demo" >/dev/null
  main=$(find "$tmp/demo" -name '*.jpg' | head -n 1)
fi

all_angles=$(seq -s, 0 23)

# Seconds since the job started at the first log line matching $1, or empty.
stamp() { sed -n "s/^\[ *\([0-9.]*\)s\] .*$1.*/\1/p" "$tmp/log" | head -n 1; }
step() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "" || b == "") print "-"; else printf "%.2f", a - b }'; }

printf '%-28s %6s %7s %8s %7s %8s %7s %7s %7s %9s\n' case pics cells "total s" "lib s" \
  "cells s" "assign" "draw s" "stats" "max RSS"
run() {  # label library cols rows cell extra...
  local label=$1 lib=$2 cols=$3 rows=$4 cell=$5
  shift 5
  rm -rf "$tmp/out"
  if ! /usr/bin/time -f '%e %M' -o "$tmp/time" "$cli" new --main "$main" --out-dir "$tmp/out" \
      --library "$lib" --size $((cols * cell))x$((rows * cell)) --cell "${cell}x${cell}" \
      --seed 1 "$@" >"$tmp/stdout" 2>"$tmp/log"; then
    echo "$label: failed" >&2
    tail -n 5 "$tmp/log" >&2
    return
  fi
  local secs kb folder cells pics
  read -r secs kb <"$tmp/time"
  folder=$(tail -n 1 "$tmp/stdout")
  cells=$(wc -l <"$folder/FinalDiff.txt")
  pics=$(wc -l <"$folder/imglist.lst")
  local t0 tl tp ta td te
  t0=$(stamp 'Step3 -- Rendering Mosaic')
  tl=$(stamp 'Initalize image lib\.*Done')
  tp=$(stamp 'apply pattern\.*DONE')
  ta=$(stamp '=*Pattern Rendered=*')
  td=$(stamp 'Draw Mosaics\.*Done')
  te=$(stamp 'All Job Done')
  printf '%-28s %6d %7d %8.2f %7s %8s %7s %7s %7s %7d MB\n' "$label" "$pics" "$cells" "$secs" \
    "$(step "$tl" "$t0")" "$(step "$tp" "$tl")" "$(step "$ta" "$tp")" "$(step "$td" "$ta")" \
    "$(step "$te" "$td")" $((kb / 1024))
}

run "1000 x 1000"                "$tmp/lib1000"  40  25 20
run "1000 x 1000 UseAllPhotos"   "$tmp/lib1000"  40  25 20 --set UseAllPhotos=1
run "5000 x 5000"                "$tmp/lib5000"  90  56 20
run "5000 x 5000 UseAllPhotos"   "$tmp/lib5000"  90  56 20 --set UseAllPhotos=1
run "5000 x 20000"               "$tmp/lib5000" 180 111 20
run "5000 x 20000 UseAllPhotos"  "$tmp/lib5000" 180 111 20 --set UseAllPhotos=1
run "1000 x 1000 24 rotations"   "$tmp/lib1000"  40  25 20 --set AllowRotation=1 \
  --set "RotationAngles=$all_angles"
run "10000x10000 page"           "$tmp/lib1000" 100 100 100
echo "goal: 5000 x 20000 under 60 s"
