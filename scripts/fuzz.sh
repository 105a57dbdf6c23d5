#!/usr/bin/env bash
# Fuzzes the extractor with libFuzzer (clang, ASan + UBSan): builds the "fuzz"
# preset, writes the seed archives and runs the harness for the given time.
# The corpus grows in build/fuzz/corpus; crash, timeout and leak inputs land
# in build/fuzz/findings.  Set FUZZ_JOBS=2 to run two workers side by side.
# FUZZ_TARGET=inflate runs the differential harness of the two inflaters
# instead (needs ISA-L), with build/fuzz/inflate-corpus and
# build/fuzz/inflate-findings.
# Usage: scripts/fuzz.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
jobs=${FUZZ_JOBS:-1}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

out=build/fuzz
mkdir -p "$out/seeds" "$out/corpus" "$out/findings" "$out/tmp"
"$out/tests/fuzz/make_corpus" "$out/seeds"

if [ "${FUZZ_TARGET:-extract}" = inflate ]; then
  [ -x "$out/tests/fuzz/inflate_diff_fuzzer" ] || { echo "fuzz.sh: no ISA-L in this build" >&2; exit 1; }
  mkdir -p "$out/inflate-seeds" "$out/inflate-corpus" "$out/inflate-findings"
  "$out/tests/fuzz/make_corpus" "$out/seeds" "$out/inflate-seeds"
  args=(-max_len=16384 -timeout=10 -rss_limit_mb=1024 -max_total_time="$seconds"
        -artifact_prefix="$out/inflate-findings/" -print_final_stats=1)
  if [ "$jobs" -gt 1 ]; then args+=(-jobs="$jobs" -workers="$jobs"); fi
  exec "$out/tests/fuzz/inflate_diff_fuzzer" "${args[@]}" "$out/inflate-corpus" "$out/inflate-seeds"
fi
cp examples/sample.dat "$out/seeds/"
cat > "$out/extract.dict" <<'DICT'
"GPDA"
"MIG."
"\x1f\x8b\x08"
".gz"
".gim"
".."
"/"
"\\"
"C:"
DICT

# The harness unpacks into its own folder under TMPDIR; leftovers of a run
# stopped by a crash or timeout are removed here.
# Parallel jobs write their logs (fuzz-N.log) to build/fuzz.
cd "$out"
export TMPDIR="$PWD/tmp"
trap 'rm -rf "$TMPDIR"/ravelkit-fuzz-*' EXIT
args=(-max_len=65536 -timeout=10 -rss_limit_mb=1024 -max_total_time="$seconds"
      -dict=extract.dict -artifact_prefix=findings/ -print_final_stats=1)
if [ "$jobs" -gt 1 ]; then
  args+=(-jobs="$jobs" -workers="$jobs")
fi
tests/fuzz/extract_fuzzer "${args[@]}" corpus seeds
