#!/usr/bin/env bash
# scripts/fuzz.sh TARGET|all SECONDS
# Builds the libFuzzer targets of fuzz/ with clang (fuzzer + AddressSanitizer +
# UndefinedBehaviorSanitizer) in build/fuzz and runs each for SECONDS on a copy of its
# seed corpus (fuzz/corpus/TARGET) with its dictionary (fuzz/dict/TARGET.dict). A crash,
# sanitizer report, leak, time-out (10 s per input) or more than 2 GiB of memory is a
# finding: the input is kept in build/fuzz/run/TARGET/artifacts and the script exits 1.
# TARGET is the name without "fuzz_" (compound, tokenizer, ...).
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/scripts/common.sh"

if [ $# -ne 2 ] || ! [[ $2 =~ ^[0-9]+$ ]]; then
  echo "usage: $0 TARGET|all SECONDS" >&2
  exit 2
fi
seconds=$2
if [ "$1" = all ]; then
  targets=()
  for d in "$ROOT"/fuzz/corpus/*/; do targets+=("$(basename "$d")"); done
else
  targets=("$1")
fi
for t in "${targets[@]}"; do
  if [ ! -f "$ROOT/fuzz/${t}_fuzz.cpp" ] || [ ! -d "$ROOT/fuzz/corpus/$t" ]; then
    echo "no fuzz target '$t' (fuzz/${t}_fuzz.cpp and fuzz/corpus/$t/)" >&2
    exit 2
  fi
done

dir=$ROOT/build/fuzz
CC=clang CXX=clang++ cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DORVANE_FUZZ=ON -DORVANE_BUILD_TESTS=OFF -DORVANE_BUILD_TOOLS=OFF >/dev/null
cmake --build "$dir" -j "$(njobs)" --target "${targets[@]/#/fuzz_}" | { grep -v '^\[' || true; }

export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export ASAN_OPTIONS=detect_leaks=1
status=0
for t in "${targets[@]}"; do
  run=$dir/run/$t
  rm -rf "$run"
  mkdir -p "$run/corpus" "$run/artifacts"
  cp -r "$ROOT/fuzz/corpus/$t/." "$run/corpus/"
  args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
        -artifact_prefix="$run/artifacts/")
  [ -f "$ROOT/fuzz/dict/$t.dict" ] && args+=(-dict="$ROOT/fuzz/dict/$t.dict")
  # Whole files need room; the string targets stay small so that each input is quick.
  case $t in
    compound) args+=(-max_len=65536) ;;
    *) args+=(-max_len=4096) ;;
  esac
  if "$dir/bin/fuzz_$t" "${args[@]}" "$run/corpus" >"$run/log" 2>&1; then
    echo "== fuzz $t: $(grep -o 'number_of_executed_units: [0-9]*' "$run/log" | grep -o '[0-9]*$') executions in ${seconds} s, no finding"
  else
    status=1
    echo "== fuzz $t: FINDING (log: $run/log, input: $(ls "$run/artifacts" | head -1))"
    grep -E 'ERROR|SUMMARY|runtime error|timeout|out-of-memory' "$run/log" | head -5
  fi
done
exit $status
