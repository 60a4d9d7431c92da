#!/usr/bin/env bash
# Builds the libFuzzer programs of tests/fuzz with clang (AddressSanitizer
# and UndefinedBehaviorSanitizer in every library they link) and runs each
# for a while on a scratch copy of its corpus.
#
#   bash scripts/run-fuzzers.sh [SECONDS_EACH]   (default 30)
#
# New crash reproducers land in build/fuzz-clang/artifacts/. Prints the
# executions of each target; exits non-zero when any target crashed.
set -euo pipefail
cd "$(dirname "$0")/.."

# clang and its libFuzzer runtime, when missing.
if ! command -v clang++ >/dev/null || ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get install -y --no-install-recommends clang libclang-rt-14-dev
fi

seconds=${1:-30}
build=build/fuzz-clang
artifacts=$build/artifacts
scratch=$build/fuzz-corpus
jobs=${VEX_FUZZ_JOBS:-1}
targets=(definite_block reply_values syst_err identification waveform pcl_raster bmp address
         property_bag search_criteria active_address scp stp)

flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
cmake -S . -B "$build" -G Ninja \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DVEX_FUZZ=ON -DVEX_SANITIZE=OFF -DVEX_BUILD_BENCH=OFF \
  -DVEX_ONLY="platform/system;platform/com;platform/io;platform/io/objects;platform/imaging;platform/ui;server;resources;control;control/io;control/setups;tests/fuzz"
cmake --build "$build" -j "$jobs" --target "${targets[@]/%/_fuzzer}"

mkdir -p "$artifacts"
export VEXCOM_REGISTRY=$PWD/$build/fuzz-registry.json
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

status=0
summary=()
for target in "${targets[@]}"; do
  echo "=== $target: ${seconds} s ==="
  work=$scratch/$target
  rm -rf "$work"
  mkdir -p "$work"
  cp tests/fuzz/corpus/"$target"/* "$work"/ 2>/dev/null || true
  log=$build/$target.log
  rc=0
  "$build/bin/${target}_fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
    -print_final_stats=1 -artifact_prefix="$PWD/$artifacts/${target}-" "$work" >"$log" 2>&1 || rc=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  if [ "$rc" -ne 0 ]; then
    status=1
    summary+=("$target: CRASHED after ${execs:-?} executions (exit $rc, log $log)")
    grep -E "^==[0-9]+==ERROR|SUMMARY:|check failed|Test unit written" "$log" | head -n 5 || true
  else
    summary+=("$target: ${execs:-?} executions, no crash")
  fi
done

echo "=== summary ==="
printf '%s\n' "${summary[@]}"
exit $status
