#!/usr/bin/env bash
# Installs what the tests need, builds the library twice (optimised, and with
# AddressSanitizer + UndefinedBehaviorSanitizer) and runs every test of both builds
# through CTest, against SQLite and a throwaway PostgreSQL server on 127.0.0.1; then the
# database and plug-in tests under valgrind and every fuzz target for 30 seconds.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/scripts/common.sh"

install_packages

build "$ROOT/build/release" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANE_BUILD_TESTS=ON
build "$ROOT/build/asan" -DCMAKE_BUILD_TYPE=Debug -DORVANE_SANITIZE=ON -DORVANE_BUILD_TESTS=ON

pgdir=$ROOT/build/pg
stop_pg() { "$ROOT/scripts/throwaway-pg.sh" stop "$pgdir" || true; }
if [ -x "$ROOT/scripts/throwaway-pg.sh" ]; then
  trap stop_pg EXIT
  eval "$("$ROOT/scripts/throwaway-pg.sh" start "$pgdir")"
  export ORVANE_REQUIRE_PG=1
fi

export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
for dir in release asan; do
  echo "== ctest ($dir)"
  ctest --test-dir "$ROOT/build/$dir" --output-on-failure -j "$(njobs)" || status=1
done
# The database and plug-in tests once more under valgrind, while the server is still up.
"$ROOT/scripts/valgrind.sh" || status=1
"$ROOT/scripts/fuzz.sh" all 30 || status=1
[ $status -eq 0 ] && echo "== all tests passed"
exit $status
