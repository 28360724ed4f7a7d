#!/usr/bin/env bash
# Builds the programs of examples/ against an installed tree through pkg-config (as a user
# would, with their Makefile) and runs them: the token walk, the table copy between two
# SQLite files, and the plug-in exchange against the installed orvane-plugind.
# usage: run_examples.sh PREFIX EXAMPLES-DIR WORK-DIR
set -euo pipefail
rm -rf "$3" && mkdir -p "$3"
prefix=$(cd "$1" && pwd) src=$(cd "$2" && pwd) work=$(cd "$3" && pwd)
libdir=$(dirname "$(find "$prefix" -name orvane.pc -path '*/pkgconfig/*' | head -n1)")
export PKG_CONFIG_PATH=$libdir
export LD_LIBRARY_PATH=$(dirname "$libdir")
make -s -f "$src/Makefile" OUT="$work" CFLAGS="-O2 -Wall -Wextra -Werror"

expect() {  # expect TEXT FILE: the output holds TEXT
  grep -qF -- "$1" "$2" || { echo "missing '$1' in:"; cat "$2"; exit 1; }
}

cd "$work"
./token_walk > walk.out
expect "  [dark, grey]" walk.out
expect "5 entries" walk.out
expect "built: Cyan, 42, 0.50" walk.out

./copy_table source.db dest.db > copy.out
expect "no such table: no_such_table" copy.out
expect "copied 3 rows into dest.db" copy.out
expect "  3 bolt M12" copy.out

"$prefix/bin/orvane-plugind" -d "$work" 0 > plugind.out &
server=$!
trap 'kill $server 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  grep -q listening plugind.out && break
  sleep 0.05
done
port=$(sed -n 's/^orvane-plugind listening on .*:\([0-9]*\)$/\1/p' plugind.out)
[ -n "$port" ] || { echo "orvane-plugind did not start"; exit 1; }
./plugin_exchange 127.0.0.1 "$port" source.db echoed.db > plugin.out
expect "sum of \"hello, plug-in\": 9d171ef2 3024e89bf257a8a6ba9a2754330316acf0f6dd14 14" plugin.out
cmp source.db echoed.db
echo "examples: all three ran"
