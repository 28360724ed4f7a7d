#!/usr/bin/env bash
# scripts/valgrind.sh
# Runs the database tests and the plug-in client tests (with the orvane-plugind server
# they start, traced as a child) once each under valgrind's memcheck, from the release
# build in build/release (configured as scripts/test.sh does, the three targets built when
# missing or stale). The two run side by side: the database tests keep one core busy, the
# plug-in tests mostly wait on sockets. A memory error, a block definitely lost or a failing
# test is a finding and the script exits 1; indirect and possible losses are reported only.
# Output per executable in build/valgrind/: NAME.log (NAME.PID.log for each process of the
# plug-in run) and NAME.out (the test output). Suppressions: scripts/valgrind.supp.
# PostgreSQL: the server of ORVANE_TEST_PG_CONNECT when set (scripts/test.sh starts one),
# else a throwaway server of its own for the length of the run.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/scripts/common.sh"

command -v valgrind >/dev/null || { echo "valgrind not found (package valgrind)" >&2; exit 2; }

build_dir=$ROOT/build/release
[ -f "$build_dir/CMakeCache.txt" ] ||
  cmake -S "$ROOT" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANE_BUILD_TESTS=ON >/dev/null
cmake --build "$build_dir" -j "$(njobs)" --target orvane_database_tests orvane_pluginclient_tests orvane_plugind |
  { grep -v '^\[' || true; }

if [ -z "${ORVANE_TEST_PG_CONNECT:-}" ]; then
  pgdir=$ROOT/build/pg-valgrind
  stop_pg() { "$ROOT/scripts/throwaway-pg.sh" stop "$pgdir" || true; }
  trap stop_pg EXIT
  eval "$("$ROOT/scripts/throwaway-pg.sh" start "$pgdir")"
fi
export ORVANE_REQUIRE_PG=1

out=$ROOT/build/valgrind
mkdir -p "$out"
rm -f "$out"/*.log "$out"/*.out "$out"/*.status

# shellcheck disable=SC2054  # the commas belong to one option
vg=(valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite,indirect,possible
    --errors-for-leak-kinds=definite --error-exitcode=99 --num-callers=40
    --suppressions="$ROOT/scripts/valgrind.supp" --child-silent-after-fork=yes)

# run NAME [valgrind options...]: runs bin/NAME, leaves its exit status and seconds in NAME.status.
run() {
  local name=$1
  shift
  local start rc=0
  start=$(date +%s.%N)
  "${vg[@]}" "$@" "$build_dir/bin/$name" >"$out/$name.out" 2>&1 || rc=$?
  echo "$rc $(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')" >"$out/$name.status"
}

# Every test runs; none needs leaving out (the server stop/start tests call pg_ctl through
# a shell that valgrind does not follow). The database tests' children are that shell.
started=$(date +%s)
run orvane_database_tests --log-file="$out/orvane_database_tests.log" &
db_job=$!
run orvane_pluginclient_tests --trace-children=yes --log-file="$out/orvane_pluginclient_tests.%p.log" &
plugin_job=$!
wait $db_job $plugin_job

# losses LOG...: "DEFINITE INDIRECT POSSIBLE ERRORS SUMMARIES" summed over the logs, where
# ERRORS counts memory errors (the error summary less the definite-loss records).
losses() {
  awk '$2 == "definitely" && $3 == "lost:" { gsub(",", "", $4); d += $4 }
       $2 == "indirectly" && $3 == "lost:" { gsub(",", "", $4); i += $4 }
       $2 == "possibly" && $3 == "lost:" { gsub(",", "", $4); p += $4 }
       / are definitely lost in loss record / { records++ }
       $2 == "ERROR" && $3 == "SUMMARY:" { gsub(",", "", $4); e += $4; s++ }
       END { printf "%d %d %d %d %d\n", d, i, p, e - records, s }' "$@"
}

status=0
# report LABEL TIMING LOG...: one summary line; a finding when anything was definitely lost,
# any memory error was seen, or a log has no error summary (the process died under valgrind).
report() {
  local label=$1 timing=$2
  shift 2
  local d i p e s
  read -r d i p e s < <(losses "$@")
  echo "== valgrind $label$timing; bytes lost: $d definitely, $i indirectly, $p possibly; $e errors"
  if [ "$d" -ne 0 ] || [ "$e" -ne 0 ] || [ "$s" -ne $# ]; then
    status=1
    echo "   FINDING: see $*"
  fi
}

for name in orvane_database_tests orvane_pluginclient_tests; do
  read -r rc seconds <"$out/$name.status"
  ran=$(grep -o '[0-9]* tests\? from [0-9]* test suites\? ran' "$out/$name.out" | grep -o '^[0-9]*' || echo 0)
  skipped=$(grep -o '^\[  SKIPPED \] [0-9]*' "$out/$name.out" | grep -o '[0-9]*$' || echo 0)
  failed=$(grep -o '^\[  FAILED  \] [0-9]* tests\?' "$out/$name.out" | grep -o '[0-9]*' || echo 0)
  timing=$(printf ': %s tests run (%s skipped, %s failed) in %.0f s' "$ran" "$skipped" "$failed" "$seconds")
  if [ "$name" = orvane_database_tests ]; then
    report "$name" "$timing" "$out/$name.log"
  else
    # The test process's own log, then one line per program it started (the server).
    own=()
    declare -A children=()
    for log in "$out/$name".*.log; do
      cmd=$(sed -n 's/^==[0-9]*== Command: \([^ ]*\).*/\1/p' "$log" | head -1)
      if [ "$(basename "$cmd")" = "$name" ]; then own+=("$log"); else children[$(basename "$cmd")]+="$log "; fi
    done
    report "$name" "$timing" "${own[@]}"
    for child in "${!children[@]}"; do
      # shellcheck disable=SC2086  # a list of log paths without blanks
      report "$child" " (started by $name, $(echo ${children[$child]} | wc -w) process(es))" ${children[$child]}
    done
  fi
  if [ "$rc" -ne 0 ]; then
    status=1
    echo "   FINDING: exit status $rc (99: valgrind error; else failing tests, see $out/$name.out)"
    grep '^\[  FAILED  \]' "$out/$name.out" | head -5 || true
  fi
done
echo "== valgrind: $(( $(date +%s) - started )) s in all"
exit $status
