#!/usr/bin/env bash
# Installs what the library needs, builds it, and runs the main job: a table of design-file
# records copied from one SQLite database into another with `orvane copy-table`.
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
source_db="DRIVER=SQLite3;Database=$sample/designs.db;"
# The library's copy writes one autocommitted INSERT per row; with SQLite's default
# settings each one waits for the disk (about 60 rows/s here). A write-ahead log with
# synchronous=NORMAL, set through the driver's connect-string options, commits in memory.
copy_db="DRIVER=SQLite3;Database=$sample/archive.db;JournalMode=WAL;SyncPragma=NORMAL;"
rows=${ORVANE_SAMPLE_ROWS:-5000}

# VARCHAR(n), INTEGER and DOUBLE travel unchanged. The date is text on purpose: the
# library writes the values of date columns without quotes, which SQLite would compute.
echo "== source: $sample/designs.db, table design_files ($rows rows)"
"$orvane" sql "$source_db" "CREATE TABLE design_files (id INTEGER NOT NULL, file_name VARCHAR(64),
  level_name VARCHAR(32), level_number INTEGER, colour INTEGER, colour_name VARCHAR(16),
  modified VARCHAR(10), size_kb DOUBLE)"
awk -v rows="$rows" 'BEGIN {
  srand(42)
  split("Default,Walls,Doors,Windows,Furniture,Text,Dimensions,Grid,Hatch,Title block", lv, ",")
  split("white,blue,green,red,yellow,violet,orange,grey", cn, ",")
  split("site plan,floor plan,section A,elevation north,detail,O'\''Brien annex,roof,services", kind, ",")
  print "id,file_name,level_name,level_number,colour,colour_name,modified,size_kb"
  for (i = 1; i <= rows; i++) {
    l = int(rand() * 10) + 1; c = int(rand() * 8)
    printf "%d,\"%s %04d.dgn\",%s,%d,%d,%s,%04d-%02d-%02d,%.2f\n", i, kind[int(rand() * 8) + 1], i,
      lv[l], l, c, cn[c + 1], 2019 + int(rand() * 7), int(rand() * 12) + 1, int(rand() * 28) + 1,
      20 + rand() * 4000
  }
}' >"$sample/design_files.csv"
"$orvane" write-table "$source_db" design_files "$sample/design_files.csv"

echo "== orvane copy-table \"$source_db\" design_files \"$copy_db\" design_files"
"$orvane" copy-table "$source_db" design_files "$copy_db" design_files

echo "== what arrived in $sample/archive.db"
"$orvane" describe "$copy_db" design_files
echo "-- first rows"
"$orvane" sql "$copy_db" "SELECT * FROM design_files ORDER BY id LIMIT 5"
echo "-- files and size per level"
"$orvane" sql "$copy_db" "SELECT level_number, level_name, COUNT(*) AS files, ROUND(SUM(size_kb) / 1024, 1) AS size_mb
  FROM design_files GROUP BY level_number, level_name ORDER BY level_number"
echo "-- the two tables hold the same rows"
"$orvane" read-table "$source_db" design_files >"$sample/source.csv"
"$orvane" read-table "$copy_db" design_files >"$sample/copy.csv"
cmp "$sample/source.csv" "$sample/copy.csv" && echo "identical: $(($(wc -l <"$sample/copy.csv") - 1)) rows"
