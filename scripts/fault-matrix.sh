#!/usr/bin/env bash
# Runs the whole fault matrix (ctest's test_fault_matrix takes every third
# case on the lists of 5000 records, to keep ./test.sh within its time): every
# writer on lists of 0, 1 and 5000 records, every file-system call it makes
# failed once (with each real-life error), failed with every later call, and
# killed on entry, and the power cut on entry to each (unsynced writes lost);
# then the writers on a real full disk (a private tmpfs;
# needs root) and the start's sweep. Prints the table of docs/reliability.md.
#   scripts/fault-matrix.sh [build folder, default build]
# TESSALINE_FAULT_JOBS sets how many cases run at once (default 2).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target test_fault_matrix

summary=$(mktemp)
trap 'rm -f "$summary"' EXIT
start=$(date +%s)
status=0
TESSALINE_FAULT_ALL=1 TESSALINE_FAULT_SUMMARY="$summary" QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 \
  "$build/tests/faults/test_fault_matrix" >"$build/fault-matrix.log" 2>&1 || status=$?
seconds=$(( $(date +%s) - start ))

echo "| writer | records | calls | cases | passed | calls made |"
echo "|---|---:|---:|---:|---:|---|"
awk -F'\t' '$1 != "disk" && $1 != "cut" { printf "| %s | %s | %s | %s | %s | %s |\n", $1, $2, $3, $4, $5, $6; c += $4; p += $5 }
            END { printf "| **all** | | | **%d** | **%d** | |\n", c, p }' "$summary"
echo
echo "| writer, power cut at every call | records | cases | passed |"
echo "|---|---:|---:|---:|"
awk -F'\t' '$1 == "cut" { printf "| %s | %s | %s | %s |\n", $2, $3, $4, $5; c += $4; p += $5 }
            END { printf "| **all** | | **%d** | **%d** |\n", c, p }' "$summary"
echo
echo "| writer on a full disk | free sizes tried | passed |"
echo "|---|---:|---:|"
awk -F'\t' '$1 == "disk" { printf "| %s | %s | %s |\n", $2, $3, $4 }' "$summary"
echo
echo "took ${seconds}s; log in $build/fault-matrix.log"
grep -E "^(FAIL|SKIP)" "$build/fault-matrix.log" || true
exit $status
