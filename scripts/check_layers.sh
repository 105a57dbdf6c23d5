#!/usr/bin/env bash
# Draws the include graph of src/ and checks its shape: every room includes
# only itself and the rooms below it, and no two modules (a header and its
# .cpp files count as one) include each other, directly or round a cycle.
#
#   app -> unpack, test, list, pack -> extract -> walk -> listing, tree
#       -> format, gzip, names, gim -> io -> platform
#
# Rooms of one rank (the four modes, say) may not include each other.
#
# Usage: scripts/check_layers.sh [--dot]   (--dot prints the module graph
# in Graphviz form instead of checking it).  Exit status 1 on a violation.
set -euo pipefail
cd "$(dirname "$0")/../src"

rank() {
  case $1 in
    app) echo 9 ;; unpack|test|list|pack) echo 8 ;; extract) echo 7 ;; walk) echo 6 ;; listing|tree) echo 5 ;;
    format|gzip|names|gim) echo 4 ;; io) echo 2 ;; platform) echo 1 ;;
    *) echo 0 ;;
  esac
}

# module of a path: room/file without extension ("gzip/inflate_isal.cpp" ->
# "gzip/inflate_isal"); the .cpp files that implement a header share its
# module when they share its stem.
edges=$(grep -rE '^#include "[a-z_]+/[a-z0-9_]+\.(h|inc)"' --include='*.h' --include='*.cpp' . |
  sed -E 's|^\./([a-z_]+/[a-z0-9_]+)\.[a-z]+:#include "([a-z_]+/[a-z0-9_]+)\.[a-z]+"|\1 \2|')

if [ "${1:-}" = --dot ]; then
  echo "digraph includes {"
  echo "$edges" | awk '$1 != $2 { printf "  \"%s\" -> \"%s\";\n", $1, $2 }' | sort -u
  echo "}"
  exit 0
fi

status=0
while read -r from to; do
  [ "$from" = "$to" ] && continue
  a=${from%%/*} b=${to%%/*}
  if [ "$a" != "$b" ] && [ "$(rank "$b")" -ge "$(rank "$a")" ]; then
    echo "check_layers: $from includes $to: $a may not use $b" >&2
    status=1
  fi
done <<<"$edges"

# tsort reports a cycle on standard error.
cycles=$(echo "$edges" | awk '$1 != $2' | tsort 2>&1 >/dev/null || true)
if [ -n "$cycles" ]; then
  echo "check_layers: modules include each other: $cycles" >&2
  status=1
fi
[ "$status" -eq 0 ] && echo "check_layers: $(echo "$edges" | awk '$1 != $2' | sort -u | wc -l) includes, layers and no cycles"
exit "$status"
