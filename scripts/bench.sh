#!/usr/bin/env bash
# Speed and memory of ravelkit against reference commands doing the same work,
# run side by side (alternating, several rounds) because the machine is shared
# and noisy.  Prints, per workload, the median wall time of each command, the
# ratio ravelkit / reference, and peak RSS.
#   stored: unpacking ~110 MiB of stored entries (2048 files)  vs  tar -xf of the same tree
#   gzip:   expanding one 96 MiB gzip member                    vs  gzip -dc of the same member
# Usage: scripts/bench.sh [build dir] [rounds]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
rounds=${2:-5}
tool="$PWD/$build/ravelkit"
[ -x "$tool" ] && [ -x "$build/tests/make_bench" ] || { echo "build $build first" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/tests/make_bench" "$work"

# wall seconds and peak RSS (KiB) of one command
measure() {
  /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null
  cat "$work/time"
}

run_pair() {
  local name=$1; shift
  local ours=() refs=() our_rss=0 ref_rss=0
  for _ in $(seq "$rounds"); do
    rm -rf "$work/out" "$work/ref"; mkdir -p "$work/ref"
    read -r t m < <(measure "$tool" "$work/$name.dat" "$work/out"); ours+=("$t"); our_rss=$m
    rm -rf "$work/out"
    case $name in
      stored) read -r t m < <(measure tar -xf "$work/stored.tar" -C "$work/ref") ;;
      gzip) read -r t m < <(measure sh -c "gzip -dc '$work/member.gz' > '$work/ref/text.txt'") ;;
    esac
    refs+=("$t"); ref_rss=$m
  done
  local our_med ref_med
  our_med=$(printf '%s\n' "${ours[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
  ref_med=$(printf '%s\n' "${refs[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
  awk -v n="$name" -v o="$our_med" -v r="$ref_med" -v om="$our_rss" -v rm="$ref_rss" 'BEGIN {
    ratio = (r > 0) ? o / r : 0
    printf "%-7s ravelkit %6.2fs  reference %6.2fs  ratio %5.2f   peak RSS ravelkit %d KiB, reference %d KiB\n", n, o, r, ratio, om, rm }'
}

# The reference tar holds exactly the tree ravelkit makes.
"$tool" "$work/stored.dat" "$work/tree" >/dev/null
tar -cf "$work/stored.tar" -C "$work/tree" .
rm -rf "$work/tree"

run_pair stored
run_pair gzip
