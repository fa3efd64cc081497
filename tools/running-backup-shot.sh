#!/usr/bin/env bash
# The README's picture of a backup under way, taken from corvane-demo:
#
#   tools/running-backup-shot.sh [corvane-demo] [out.png]
#
# (defaults: build/release/corvane-demo, docs/running-backup.png). Needs Xvfb,
# xdotool and ImageMagick's import (scripts/install-deps.sh installs them).
#
# The demo runs on an X server of its own; CF -> IMG is pressed by keyboard
# and the window photographed over and over until the job's notice shows.
# The dialog updates its progress once a second, and a 64 MiB card is read
# in less than that, so the bar would only ever show 0 or 100: while the job
# runs the demo is paused most of the time, as behind a slow card reader.
# The shot kept is the one whose bar is nearest half full.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
demo=${1:-$here/build/release/corvane-demo}
out=${2:-$here/docs/running-backup.png}
for tool in Xvfb xdotool import convert; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: run scripts/install-deps.sh" >&2; exit 1; }
done
[ -x "$demo" ] || { echo "no $demo: build it first (scripts/build.sh)" >&2; exit 1; }

work=$(mktemp -d /tmp/corvane-shot-XXXXXX)
xvfb_pid="" demo_pid="" pacer_pid=""
cleanup() {
  for pid in $pacer_pid $demo_pid; do kill -CONT "$pid" 2>/dev/null || true; kill "$pid" 2>/dev/null || true; done
  # Asked, not killed: the server removes its socket and lock file.
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
trap "exit 1" INT TERM HUP PIPE

for n in $(seq 140 199); do
  [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
  Xvfb :$n -nolisten tcp -screen 0 1024x768x24 >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -e /tmp/.X11-unix/X$n ] || ! kill -0 $xvfb_pid 2>/dev/null && break; sleep 0.1; done
  if kill -0 $xvfb_pid 2>/dev/null && [ -e /tmp/.X11-unix/X$n ]; then break; fi
  xvfb_pid=""
done
[ -n "$xvfb_pid" ] || { echo "no X server would start" >&2; exit 1; }
export DISPLAY=:$n QT_QPA_PLATFORM=xcb

"$demo" "$work/cards" >/dev/null &
demo_pid=$!
window=$(timeout 60 xdotool search --sync --onlyvisible --name '^Corvane$' | head -n 1) || true
# A Corvane already running on this machine makes the demo end at once.
[ -n "$window" ] || { echo "no Corvane window (is another Corvane running?)" >&2; exit 1; }
xdotool windowfocus --sync "$window"
# Let the first paint land before the job starts.
sleep 1

# The demo runs 10 ms in every 310 while the job does.
( while kill -0 $demo_pid 2>/dev/null; do
    kill -STOP $demo_pid 2>/dev/null || break; sleep 0.3
    kill -CONT $demo_pid 2>/dev/null || break; sleep 0.01
  done ) &
pacer_pid=$!

# Focus starts in the file name; the fourth Tab is CF -> IMG.
xdotool key --delay 100 Tab Tab Tab Tab Return
mkdir -p "$work/shots"
for i in $(seq -w 1 400); do
  import -window "$window" "$work/shots/$i.png"
  [ -n "$(xdotool search --onlyvisible --name '^(Message|Error)$' || true)" ] && break
done
kill $pacer_pid 2>/dev/null || true
wait $pacer_pid 2>/dev/null || true
pacer_pid=""
kill -CONT $demo_pid 2>/dev/null || true

# How much of the bar is filled: the share of its middle row, inside the
# frame, drawn in the highlight's blue. The bar lies at 6..277 x 108..122 of
# the 282 x 182 dialog units.
best="" best_score=1000 best_filled=0
for shot in "$work/shots"/*.png; do
  read -r w h < <(identify -format '%w %h\n' "$shot")
  x0=$(( w * 8 / 282 )) x1=$(( w * 275 / 282 )) y=$(( h * 115 / 182 ))
  filled=$(convert "$shot" -crop "$(( x1 - x0 ))x1+$x0+$y" +repage -depth 8 txt:- |
    awk -F"[(),]" 'NR > 1 { if ($5 > $3 + 60) n++; t++ } END { printf "%d", t ? 100 * n / t : 0 }')
  if [ "$filled" -ge 10 ] && [ "$filled" -le 90 ]; then
    score=$(( filled > 50 ? filled - 50 : 50 - filled ))
    [ "$score" -lt "$best_score" ] && best=$shot best_score=$score best_filled=$filled
  fi
done
[ -n "$best" ] || { echo "no shot caught the bar partly filled" >&2; exit 1; }
mkdir -p "$(dirname "$out")"
cp "$best" "$out"
echo "$out: shot $(basename "$best" .png) of $(ls "$work/shots" | wc -l), the bar $best_filled% filled"
