#!/usr/bin/env bash
# Starts the desktop program on a virtual X server with copies of the sample images,
# converts them with Ctrl+S as a user would, checks the results and keeps screenshots of
# the window in English and German.
#   gui-smoke.sh PROGRAM SAMPLES_FOLDER SCREENSHOT_FOLDER
set -euo pipefail
program=$1 samples=$2 shots=$3
for tool in xvfb-run xdotool import identify; do
  command -v "$tool" >/dev/null || { echo "gui-smoke: $tool is missing (scripts/install-deps.sh)"; exit 1; }
done
mkdir -p "$shots"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in" "$work/home"
cp "$samples"/*.jpg "$samples"/*.bmp "$samples"/*.gif "$samples"/*.tga "$work/in/"
count=$(ls "$work/in" | wc -l)

cat >"$work/session.sh" <<'INNER'
set -euo pipefail
program=$1 work=$2 shots=$3 count=$4 language=$5
export PIXOLAN_HOME=$work/home
# Its own runtime folder: a program the user runs meanwhile must not receive these files.
export XDG_RUNTIME_DIR=$work/runtime
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
"$program" --no-splash --lang "$language" "$work"/in/* >"$work/program-$language.log" 2>&1 &
pid=$!
window=
for _ in $(seq 1 150); do
  window=$(xdotool search --onlyvisible --name "^Pixolan - Orvanta$" 2>/dev/null | head -n 1) || true
  [[ -n $window ]] && break
  kill -0 "$pid" 2>/dev/null || { echo "gui-smoke: the program ended at start"; cat "$work/program-$language.log"; exit 1; }
  sleep 0.2
done
[[ -n $window ]] || { echo "gui-smoke: no window appeared"; exit 1; }
sleep 2
import -window root "$shots/pixolan-$language.png"
if [[ $language == en ]]; then
  xdotool windowfocus --sync "$window" key ctrl+s
  for _ in $(seq 1 150); do
    done_count=$(ls "$work"/in/*-1.* 2>/dev/null | wc -l)
    ((done_count == count)) && break
    sleep 0.2
  done
  sleep 1
  import -window root "$shots/pixolan-after-run.png"
fi
kill "$pid"
wait "$pid" || true
INNER

xvfb-run -a -s "-screen 0 1366x768x24" bash "$work/session.sh" "$program" "$work" "$shots" "$count" en
results=$(ls "$work"/in/*-1.* 2>/dev/null | wc -l)
if ((results != count)); then
  echo "gui-smoke: $results of $count results written"; ls -l "$work/in"; cat "$work"/program-en.log; exit 1
fi
for result in "$work"/in/*-1.*; do
  identify "$result" >/dev/null || { echo "gui-smoke: $result is no image"; exit 1; }
done
xvfb-run -a -s "-screen 0 1366x768x24" bash "$work/session.sh" "$program" "$work" "$shots" "$count" de
# Under the sanitizer presets a report in the program's output is a failure too.
if grep -E "AddressSanitizer|runtime error|LeakSanitizer" "$work"/program-*.log; then
  echo "gui-smoke: the sanitizer reported"; exit 1
fi
for shot in pixolan-en pixolan-after-run pixolan-de; do
  identify "$shots/$shot.png" >/dev/null || { echo "gui-smoke: no screenshot $shot"; exit 1; }
done
echo "gui-smoke: $count images converted; screenshots in $shots"
