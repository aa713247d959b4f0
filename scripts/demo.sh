#!/usr/bin/env bash
# The main job for a newcomer: install what is missing, build the release preset (both
# programs) and let pixolan-cli convert the bundled samples with the bundled configuration
# into build/demo-output.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh --build-only
cmake --preset release >/dev/null
cmake --build --preset release --target pixolan-cli pixolan

cli=build/release/apps/pixolan-cli
out=build/demo-output
"$cli" --version
# samples/demo.pxc is a configuration: fit into 320x240 (turned for portraits), sharpen,
# save as progressive JPEG of quality 85 named NAME_web.jpg. The folder samples/ is
# scanned for every image format the program reads.
"$cli" samples/demo.pxc --existing overwrite -v -o "$out" samples/
echo "The results are in $out/"
echo "The desktop program: build/release/apps/pixolan samples/"
