#!/usr/bin/env bash
# Configures, builds and runs the whole test suite in the given CMake presets
# (default: release and asan), after installing what is missing. Fails on the first
# failing preset.
set -euo pipefail
cd "$(dirname "$0")/.."

presets=("$@")
if ((${#presets[@]} == 0)); then
  presets=(release asan)
fi

bash scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
for preset in "${presets[@]}"; do
  echo "== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "== $preset: test"
  ctest --preset "$preset" -j "$jobs" --timeout 600
done
