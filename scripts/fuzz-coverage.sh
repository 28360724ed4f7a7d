#!/usr/bin/env bash
# scripts/fuzz-coverage.sh [CORPUS_ROOT]
# Source coverage of the library reached by the fuzz targets' corpora: builds the targets
# once more with clang's source-based coverage in build/fuzz-coverage, replays every input
# of fuzz/corpus/TARGET (and of CORPUS_ROOT/TARGET, e.g. build/fuzz/run/TARGET/corpus after
# a long run: pass build/fuzz/run) without mutating, and prints lines, regions and
# branches covered per source file of src/. The report is kept in build/fuzz-coverage/.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/scripts/common.sh"
extra=${1:-}

dir=$ROOT/build/fuzz-coverage
cov=(-fprofile-instr-generate -fcoverage-mapping)
CC=clang CXX=clang++ cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DORVANE_FUZZ=ON -DORVANE_BUILD_TESTS=OFF -DORVANE_BUILD_TOOLS=OFF -DORVANE_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="${cov[*]}" -DCMAKE_EXE_LINKER_FLAGS="${cov[*]}" >/dev/null
targets=()
for d in "$ROOT"/fuzz/corpus/*/; do targets+=("$(basename "$d")"); done
cmake --build "$dir" -j "$(njobs)" --target "${targets[@]/#/fuzz_}" | { grep -v '^\[' || true; }

rm -rf "$dir/profiles"
mkdir -p "$dir/profiles"
objects=()
export ASAN_OPTIONS=detect_leaks=0
for t in "${targets[@]}"; do
  corpora=("$ROOT/fuzz/corpus/$t")
  [ -n "$extra" ] && [ -d "$extra/$t" ] && corpora+=("$extra/$t")
  [ -n "$extra" ] && [ -d "$extra/$t/corpus" ] && corpora+=("$extra/$t/corpus")
  LLVM_PROFILE_FILE="$dir/profiles/$t.profraw" "$dir/bin/fuzz_$t" -runs=0 "${corpora[@]}" \
    >"$dir/profiles/$t.log" 2>&1
  echo "== $t: $(grep -o 'INITED.*' "$dir/profiles/$t.log" | head -1)"
  objects+=(-object "$dir/bin/fuzz_$t")
done
llvm-profdata merge -sparse "$dir"/profiles/*.profraw -o "$dir/all.profdata"
llvm-cov report "${objects[@]:1}" -instr-profile="$dir/all.profdata" \
  "$ROOT/src" | sed "s|$ROOT/||" | tee "$dir/report.txt"
