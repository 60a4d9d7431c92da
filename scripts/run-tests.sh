#!/usr/bin/env bash
# Installs what is missing, builds every target in the default and the
# sanitizer (AddressSanitizer + UndefinedBehaviorSanitizer) presets, and runs
# every test in both.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)
status=0
for preset in default asan; do
  echo "=== preset $preset ==="
  cmake --preset "$preset"
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" || status=1
done
exit $status
