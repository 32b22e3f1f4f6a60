#!/usr/bin/env bash
# Fuzzes the shell's decision code natively: libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer (build/fuzz, preset fuzz).
#
#   scripts/fuzz.sh [--seconds N] [--jobs J] [--no-build] [TARGET...]
#
# For each target (default: all of tests/fuzz/*.cpp) it first replays the seeds
# in tests/fuzz/corpus/TARGET (each once, as a regression test), then fuzzes for
# N seconds (default 600), J targets at a time (default 1). Nothing is written
# into the source tree: the corpus a campaign grows is build/fuzz/corpus/TARGET
# (kept between runs), a finding is saved in build/fuzz/findings/TARGET/ and
# each run's log is build/fuzz/logs/TARGET.log. Prints executions and coverage
# per target; exits 1 when a replay or a campaign found a fault.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD

seconds=600
jobs=1
build=1
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds=${2:?--seconds needs a value}; shift 2 ;;
    --jobs) jobs=${2:?--jobs needs a value}; shift 2 ;;
    --no-build) build=0; shift ;;
    -h|--help) sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) echo "fuzz: unknown option $1" >&2; exit 2 ;;
    *) targets+=("$1"); shift ;;
  esac
done
if [ ${#targets[@]} -eq 0 ]; then
  for source in tests/fuzz/*.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi
for target in "${targets[@]}"; do
  [ -f "tests/fuzz/$target.cpp" ] || { echo "fuzz: no target $target (tests/fuzz/$target.cpp)" >&2; exit 2; }
done

out=$root/build/fuzz
if [ $build -eq 1 ]; then
  cmake --preset fuzz >/dev/null || exit 1
  cmake --build --preset fuzz -j"${ZRQ_JOBS:-2}" >/dev/null || { cmake --build --preset fuzz -j1; exit 1; }
fi
mkdir -p "$out/logs"

# Largest input a target is given: the JSON documents carry URLs of up to
# 16384 bytes; the JSON fetch reaches its limit with leading blanks instead.
max_len() {
  case "$1" in
    installer_descriptor|game_config|shell_manifest) echo 20000 ;;
    *) echo 4096 ;;
  esac
}

run_target() {
  local target=$1 binary=$out/targets/$1 log=$out/logs/$1.log
  local seeds=$root/tests/fuzz/corpus/$target corpus=$out/corpus/$target findings=$out/findings/$target
  # The documents of the shared rule tables (tests/rules) are seeds too.
  local tables=$out/table-seeds/$target
  rm -rf "$tables"
  python3 "$root/tests/fuzz/table_seeds.py" "$target" "$tables" || return 1
  mkdir -p "$corpus" "$findings" "$tables"
  local dict=()
  [ -f "$root/tests/fuzz/$target.dict" ] && dict=(-dict="$root/tests/fuzz/$target.dict")
  {
    # Replay: every seed once, whatever its size.
    "$binary" -runs=1 "$seeds"/* $(find "$tables" -type f) || exit 1
    "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len="$(max_len "$target")" \
      -print_final_stats=1 -artifact_prefix="$findings/" "${dict[@]}" "$corpus" "$seeds" "$tables" || exit 1
  } >"$log" 2>&1
}

summary() {
  local target=$1 status=$2 log=$out/logs/$1.log
  local executions coverage
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  coverage=$(grep -E '^#[0-9]+.*cov: ' "$log" | tail -1 | grep -oE 'cov: [0-9]+ ft: [0-9]+')
  if [ "$status" -eq 0 ]; then
    printf '%-22s ok      %12s executions  %s\n' "$target" "${executions:-?}" "${coverage:-}"
  else
    printf '%-22s FAILED  see %s\n' "$target" "${log#$root/}"
    grep -E -m3 'invariant broken|ERROR: |runtime error|SUMMARY' "$log" | sed 's/^/    /'
    ls "$out/findings/$target" 2>/dev/null | sed "s|^|    input: build/fuzz/findings/$target/|"
  fi
}

failed=0
declare -A pids=()
for target in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n; done
  run_target "$target" &
  pids[$target]=$!
done
for target in "${targets[@]}"; do
  wait "${pids[$target]}"
  status=$?
  [ $status -eq 0 ] || failed=1
  summary "$target" $status
done
exit $failed
