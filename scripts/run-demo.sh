#!/usr/bin/env bash
# Installs what is missing, builds the default preset, registers the build
# tree's servers in a registry of the build tree (never the user's), and runs
# the main job.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"
export VEXCOM_REGISTRY="$PWD/build/default/registry.json"
./build/default/bin/vexscope demo "$@"
