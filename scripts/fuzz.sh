#!/usr/bin/env bash
# Builds the fuzz targets with clang-14 (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) and runs each for a while, one after the other,
# at low priority.
#   scripts/fuzz.sh [seconds per target, default 600] [target ...]
# Targets: records import update vcard csv query. A failing input is written to
# build-fuzz/fuzz/<target>-crash-*; keep it in fuzz/regressions/<target>/
# (ctest -L fuzz in build-fuzz runs every kept input once).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-600}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(records import update vcard csv query)

need=()
for p in clang-14 libclang-rt-14-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${need[@]}"
fi

build=build-fuzz
CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTESSALINE_FUZZ=ON -DCMAKE_CXX_COMPILER_LAUNCHER= >/dev/null
cmake --build "$build" -j2 --target "${targets[@]/#/fuzz_}"

status=0
for t in "${targets[@]}"; do
  corpus="$build/fuzz/corpus/$t"
  mkdir -p "$corpus"
  echo "== fuzz_$t for ${seconds}s"
  ASAN_OPTIONS=detect_leaks=0 LC_ALL=C.UTF-8 nice -n 19 "$build/fuzz/fuzz_$t" \
    -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$build/fuzz/$t-" "$corpus" "fuzz/seeds/$t" || status=1
done
exit $status
