#!/usr/bin/env bash
# Runs every fuzz target for SECONDS (default 30) from a seed corpus made at run time.
# Usage: fuzz/run.sh BUILD_DIR [SECONDS]
# Findings (crashes, leaks, timeouts, out-of-memory) go to BUILD_DIR/fuzz-findings;
# the script exits non-zero when any target reports one.
set -uo pipefail

if [[ $# -lt 1 ]]; then
  echo "usage: $0 BUILD_DIR [SECONDS]" >&2
  exit 2
fi
build=$(cd "$1" && pwd) || exit 2
seconds=${2:-30}
bin="$build/fuzz"
work="$build/fuzz-work"
findings="$build/fuzz-findings"
targets=(fuzz_jpeg fuzz_bmp fuzz_project_ts8 fuzz_project_lys fuzz_libinfo fuzz_ini fuzz_filelist)

rm -rf "$work"
mkdir -p "$work/seeds" "$findings"
# The targets' input files, in memory when possible; removed however the script ends.
TESSARO_FUZZ_TMP=$(mktemp -d /dev/shm/tessaro_fuzz_run.XXXXXX 2>/dev/null || mktemp -d)
export TESSARO_FUZZ_TMP
trap 'rm -rf "$TESSARO_FUZZ_TMP"' EXIT
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:${UBSAN_OPTIONS:-}"
if ! "$bin/fuzz_make_seeds" "$work/seeds"; then
  echo "seed generation failed" >&2
  exit 1
fi

failed=0
printf '%-18s %12s %10s  %s\n' target runs runs/s result
for t in "${targets[@]}"; do
  corpus="$work/corpus/$t"
  mkdir -p "$corpus" "$findings/$t"
  log="$work/$t.log"
  # The LibInfo_R.cls records are 8268 bytes; every other seed is far smaller.
  maxlen=4096
  [[ $t == fuzz_libinfo ]] && maxlen=20000
  "$bin/$t" "$corpus" "$work/seeds/$t" -max_total_time="$seconds" -max_len="$maxlen" \
    -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$findings/$t/" >"$log" 2>&1
  rc=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  result=ok
  if [[ $rc -ne 0 ]] || compgen -G "$findings/$t/*" >/dev/null; then
    result="FINDING (exit $rc, see $log and $findings/$t)"
    failed=1
  fi
  printf '%-18s %12s %10s  %s\n' "$t" "${runs:-?}" "${rate:-?}" "$result"
  grep -E '^Done [0-9]+ runs' "$log" | sed "s/^/  $t: /"
done
exit $failed
