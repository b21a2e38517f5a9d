#!/usr/bin/env bash
# Validates the AppStream metainfo and the desktop entry with Debian's own
# validators. Exit code 77 tells ctest that a validator is missing.
set -euo pipefail
metainfo=$1
desktop=$2

for tool in appstreamcli desktop-file-validate; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (Debian packages appstream, desktop-file-utils)"
    exit 77
  fi
done

appstreamcli validate --no-net "$metainfo"
# desktop-file-validate exits 0 on warnings; any output is a fault here.
out=$(desktop-file-validate "$desktop" 2>&1)
if [ -n "$out" ]; then
  echo "$out"
  exit 1
fi
echo "metainfo and desktop entry are valid"
