#!/usr/bin/env bash
# Installs what the library needs, builds it, and runs the main job: the `orvane` tool
# on an embedded SQLite database.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/scripts/common.sh"

install_packages
build "$ROOT/build/release" -DCMAKE_BUILD_TYPE=RelWithDebInfo
orvane=$ROOT/build/release/bin/orvane
"$orvane" --version

sample=$ROOT/build/sample
rm -rf "$sample"
mkdir -p "$sample"
db="DRIVER=SQLite3;Database=$sample/parts.db;"
echo "== database: $sample/parts.db"
"$orvane" sql "$db" "CREATE TABLE parts (id INTEGER PRIMARY KEY, name VARCHAR(40), layer VARCHAR(20), mass REAL)"
while IFS=, read -r id name layer mass; do
  "$orvane" sql "$db" "INSERT INTO parts VALUES ($id, '$name', '$layer', $mass)"
done <<'ROWS'
1,bracket,LEVEL1,0.25
2,flange,LEVEL2,1.5
3,bolt M8,LEVEL1,0.02
4,housing,LEVEL10,3.75
ROWS
echo "== tables"
"$orvane" tables "$db"
echo "== describe parts"
"$orvane" describe "$db" parts
echo "== SELECT * FROM parts ORDER BY id"
"$orvane" sql "$db" "SELECT * FROM parts ORDER BY id"
echo "== layers matching LEVEL1*"
"$orvane" sql "$db" "SELECT layer FROM parts" | tail -n +2 | while read -r layer; do
  "$orvane" match 'LEVEL1*' "$layer" >/dev/null && echo "$layer"
done | sort -u
echo "== tokens of 'bracket, flange ,bolt M8'"
"$orvane" tokens --strip 'bracket, flange ,bolt M8'
