#!/usr/bin/env bash
# The main job for a newcomer: install what is missing, build the release preset and run
# pixolan-cli on the bundled samples.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh --build-only
cmake --preset release >/dev/null
cmake --build --preset release --target pixolan-cli

cli=build/release/apps/pixolan-cli
"$cli" --version
"$cli" --list-formats
