#!/usr/bin/env bash
# Bounded memory: fails when the tool's peak resident set exceeds 16 MiB on
# any of four shapes: one gzip member of >= 256 MiB of incompressible data
# (prints the peak RSS, its ratio to the member's stored size, and the wall
# time), a small member that expands past 2^31 bytes, archives nested 32
# levels deep, each just over 1 MiB, and an archive of 65,535 entries.  All
# but the second are packed back (-p) as well, untouched (the same bytes
# must come back) and edited (the big member compressed again; every nested
# level built again; one entry of the many).  Converting a GIM image of 1024
# x 1024 pixels to PNG (-g) may take 16 MiB plus four times its RGBA size.
# Usage: scripts/memory_check.sh [ravelkit binary]   (default: builds the release preset)
# Needs about twice the data size free in ${TMPDIR:-/tmp}.
set -euo pipefail
cd "$(dirname "$0")/.."

limit_kib=$((16 * 1024))
data_bytes=$((256 * 1024 * 1024))

[ -x /usr/bin/time ] || scripts/deps.sh ci  # GNU time, for the peak RSS

cmake --preset release >/dev/null
if [ $# -ge 1 ]; then
  tool=$(readlink -f "$1" || echo "$1")
  cmake --build --preset release --target make_big_gzip >/dev/null
else
  cmake --build --preset release --target ravelkit make_big_gzip >/dev/null
  tool="$PWD/build/release/ravelkit"
fi
[ -x "$tool" ] || { echo "memory_check: no binary at $tool" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/ravelkit-memcheck-XXXXXX")
trap 'rm -rf "$work"' EXIT

read -r data_size member_size < <(build/release/bench/make_big_gzip "$work/big.dat" "$data_bytes")
if [ "$member_size" -lt "$data_bytes" ]; then
  echo "memory_check: stored member is only $member_size bytes" >&2
  exit 1
fi

# Runs the tool with the given arguments, its listing to $work/stdout, and
# sets rss_kib to its peak resident set.
measure() {
  /usr/bin/time -v -o "$work/time.txt" "$tool" "$@" >"$work/stdout"
  rss_kib=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")
}

# Fails the check when the last run's peak RSS ($rss_kib) is over the limit.
within_limit() {
  if [ "$rss_kib" -gt "$limit_kib" ]; then
    echo "memory_check: FAIL: peak RSS $rss_kib KiB exceeds $limit_kib KiB" >&2
    exit 1
  fi
}

status=0
/usr/bin/time -v -o "$work/time.txt" "$tool" "$work/big.dat" "$work/out" >"$work/stdout" || status=$?
if [ "$status" -ne 0 ]; then
  echo "memory_check: tool exited with $status" >&2
  cat "$work/stdout" "$work/time.txt" >&2
  exit 1
fi
expected="big.bin.gz $member_size bytes to $data_size bytes"
if [ "$(cat "$work/stdout")" != "$expected" ]; then
  echo "memory_check: unexpected listing: $(head -c 300 "$work/stdout")" >&2
  exit 1
fi
out_size=$(stat -c %s "$work/out/big.bin")
if [ "$out_size" -ne "$data_size" ]; then
  echo "memory_check: expanded file has $out_size bytes, expected $data_size" >&2
  exit 1
fi

rss_kib=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")
wall=$(awk -F': ' '/Elapsed \(wall clock\) time/ {print $2}' "$work/time.txt")
awk -v r="$rss_kib" -v s="$member_size" -v d="$data_size" -v w="$wall" 'BEGIN {
  printf "stored member %d bytes, expanded %d bytes, wall time %s\n", s, d, w
  printf "peak RSS %d KiB, peak RSS / stored size %.5f\n", r, r * 1024 / s }'
within_limit
echo "memory_check: OK (limit $limit_kib KiB)"

# Packs the tree in $work/out back from archive $1 into $work/packed.dat and
# sets rss_kib; with $2 set, the result must be the archive itself.
pack_back() {
  rm -f "$work/packed.dat"
  status=0
  /usr/bin/time -v -o "$work/time.txt" "$tool" -p "$1" "$work/out" "$work/packed.dat" >"$work/stdout" || status=$?
  if [ "$status" -ne 0 ] || { [ -n "${2:-}" ] && ! cmp -s "$1" "$work/packed.dat"; }; then
    echo "memory_check: FAIL: packing $1 gave status $status: $(tail -c 300 "$work/stdout")" >&2
    exit 1
  fi
  rss_kib=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")
}
pack_back "$work/big.dat" same
echo "packed the big member back untouched, peak RSS $rss_kib KiB"
within_limit
printf 'x' >>"$work/out/big.bin"
pack_back "$work/big.dat"
echo "packed the big member back edited (compressed again), peak RSS $rss_kib KiB"
within_limit
echo "memory_check: OK packing"

# A small member of zeros that expands past 2^31 bytes: the expanded count is
# 64-bit and prints unsigned, and memory stays flat on the output side too.
zeros_bytes=$((2560 * 1024 * 1024))
rm -rf "$work/out" "$work/big.dat" "$work/packed.dat"
read -r data_size member_size < <(build/release/bench/make_big_gzip "$work/zeros.dat" "$zeros_bytes" zeros)
measure "$work/zeros.dat" "$work/out"
expected="big.bin.gz $member_size bytes to $zeros_bytes bytes"
if [ "$(cat "$work/stdout")" != "$expected" ] || [ "$(stat -c %s "$work/out/big.bin")" -ne "$zeros_bytes" ]; then
  echo "memory_check: FAIL: zeros member gave: $(head -c 300 "$work/stdout")" >&2
  exit 1
fi
echo "expanded $zeros_bytes bytes from a $member_size-byte member, peak RSS $rss_kib KiB"
within_limit
echo "memory_check: OK past 2^31 bytes"

# Archives nested 32 levels deep, each just over 1 MiB: every level stays
# open while the ones below it are unpacked.
rm -rf "$work/out" "$work/zeros.dat"
read -r levels nested_size < <(build/release/bench/make_big_gzip "$work/nested.dat" nested)
measure "$work/nested.dat" "$work/out"
if [ ! -f "$work/out/$(printf 'd/%.0s' $(seq 1 "$levels"))leaf.txt" ]; then
  echo "memory_check: FAIL: the nested archives were not unpacked $levels levels deep" >&2
  exit 1
fi
echo "unpacked $levels levels of nested archives ($nested_size bytes each at the top), peak RSS $rss_kib KiB"
within_limit
pack_back "$work/nested.dat" same
echo "packed the $levels levels back untouched, peak RSS $rss_kib KiB"
within_limit
printf 'edited' >"$work/out/$(printf 'd/%.0s' $(seq 1 "$levels"))leaf.txt"
pack_back "$work/nested.dat"
echo "packed the $levels levels back with the deepest file edited, peak RSS $rss_kib KiB"
within_limit
echo "memory_check: OK nested $levels levels deep"

# As many entries as an archive holds: packing notes which entry became
# which file, a few dozen bytes each.
rm -rf "$work/out" "$work/nested.dat" "$work/packed.dat"
read -r entries many_size < <(build/release/bench/make_big_gzip "$work/many.dat" many)
measure "$work/many.dat" "$work/out"
echo "unpacked $entries entries ($many_size bytes), peak RSS $rss_kib KiB"
within_limit
pack_back "$work/many.dat" same
echo "packed the $entries entries back untouched, peak RSS $rss_kib KiB"
within_limit
printf 'edited' >"$work/out/many_$entries.dat"
pack_back "$work/many.dat"
echo "packed the $entries entries back with one edited, peak RSS $rss_kib KiB"
within_limit
echo "memory_check: OK $entries entries"

# A GIM image converted to PNG: 16 MiB plus four times its RGBA pixels.
rm -rf "$work/out" "$work/many.dat" "$work/packed.dat"
read -r width height < <(build/release/bench/make_big_gzip "$work/gim.dat" gim)
measure -g "$work/gim.dat" "$work/out"
if [ ! -s "$work/out/big.gim.png" ]; then
  echo "memory_check: FAIL: no PNG of the GIM image" >&2
  exit 1
fi
limit_kib=$((16 * 1024 + 4 * width * height * 4 / 1024))
echo "converted a ${width}x$height GIM image to PNG, peak RSS $rss_kib KiB"
within_limit
echo "memory_check: OK converting a GIM image (limit $limit_kib KiB)"
