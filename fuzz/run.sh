#!/usr/bin/env bash
# Usage: fuzz/run.sh SECONDS
#
# Builds the libFuzzer targets if needed (clang++, in build-fuzz, or in
# $ZARN_FUZZ_BUILD) and runs all six, two at a time, for SECONDS each, starting from the
# seed corpus in fuzz/corpus/<target>. The seed corpus is only read: what the
# fuzzer learns goes to <build>/fuzz-out/corpus-<target>, crashes and hangs to
# <build>/fuzz-out/crashes, the logs to <build>/fuzz-out/<target>.log. Replay
# a finding with: <build>/fuzz/zarn_fuzz_<target> FILE
set -euo pipefail
if [ $# -ne 1 ] || ! [[ $1 =~ ^[0-9]+$ ]]; then
  echo "usage: $0 SECONDS" >&2
  exit 2
fi
seconds=$1
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${ZARN_FUZZ_BUILD:-$root/build-fuzz}"
out="$build/fuzz-out"

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DZARN_FUZZ=ON -DZARN_TESTS=OFF
fi
cmake --build "$build" --target zarn_fuzz_decode zarn_fuzz_encode zarn_fuzz_stream zarn_fuzz_library zarn_fuzz_ogg \
  zarn_fuzz_oggdecode
mkdir -p "$out/crashes"

# Runs one target for the time given, in the background; its pid in $!.
start() {
  local target=$1
  mkdir -p "$out/corpus-$target"
  # Inputs are capped so that every run stays short; a run over 10 s is a hang.
  "$build/fuzz/zarn_fuzz_$target" -max_total_time="$seconds" -max_len=65536 -timeout=10 \
    -print_final_stats=1 -artifact_prefix="$out/crashes/$target-" \
    "$out/corpus-$target" "$root/fuzz/corpus/$target" >"$out/$target.log" 2>&1 &
}

# Waits for one target and reports it.
finish() {
  local target=$1 pid=$2
  if ! wait "$pid"; then
    status=1
    echo "$target: FAILED, see $out/$target.log and $out/crashes" >&2
  fi
  # The last status line: executions (#N), coverage (cov) and features (ft).
  echo "$target: $(grep -E '^#[0-9]+' "$out/$target.log" | tail -n 1)"
}

status=0
start decode
decode=$!
start encode
encode=$!
finish decode "$decode"
start stream
stream=$!
finish encode "$encode"
start library
library=$!
finish stream "$stream"
start ogg
ogg=$!
finish library "$library"
start oggdecode
oggdecode=$!
finish ogg "$ogg"
finish oggdecode "$oggdecode"
exit $status
