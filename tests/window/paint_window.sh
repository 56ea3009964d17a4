#!/usr/bin/env bash
# One painting session in a real window, as a person paints: Xvfb as the
# display, Octave with its qt toolkit, xdotool dragging one foreground and
# one background stroke over the test image and pressing Enter.  The mask
# rwsegment returns must match the image's regions and the mask file it
# writes, the title and the printed lines must count the strokes, and the
# stroke file it writes must give the batch form the same mask.
#
#   bash tests/window/paint_window.sh OCTAVE MEX_DIR SOURCE_DIR
set -euo pipefail
octave=$1 mexdir=$2 root=$3
work=$(mktemp -d)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"; }
trap cleanup EXIT

# A display of its own: Xvfb picks a free number and writes it to fd 3.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(head -1 "$work/display")

cat >"$work/session.m" <<'OCTAVE'
here = pwd ();
cd (fullfile (fileparts (which ('rwsegment')), 'private'));
[img, ~, truth] = testImage ();
cd (here);
imwrite (img, 'photo.png');
[labels, prob, info] = rwsegment ('photo.png', [], 'result.png', [], 'strokes.png');
accuracy = mean (labels(:) == truth(:));
printf ('Returned: %d strokes, accuracy %.4f; window shown %.2f s, ready %.2f s after the call\n', numel (info.strokes), accuracy, info.time.window, info.time.ready);
assert (numel (info.strokes) == 2 && strcmp (info.strokes(1).kind, 'fg') && strcmp (info.strokes(2).kind, 'bg'));
assert (accuracy >= 0.98, 'accuracy %.4f', accuracy);
% The mask file beside the picture holds the returned labels.
assert (strcmp (info.mask, 'result_mask.png') && isequal (imread (info.mask) > 0, labels), 'the mask file');
% The stroke file, segmented by the batch form, gives the same mask.
again = evalc ('batch = rwsegment (''photo.png'', ''strokes.png'', ''again.png'');');
assert (isequal (batch, labels), 'the stroke file gives another mask');
printf ('Window test passed\n');
OCTAVE
cd "$work"
"$octave" --no-gui --norc --no-history --quiet --path "$mexdir" --path "$root/toolbox" session.m \
  </dev/null >"$work/octave.log" 2>&1 &
octave_pid=$!
pids+=($octave_pid)

# The window, once it is ready for strokes (its title says so).
window=
for _ in $(seq 150); do
  window=$(xdotool search --name '^rwsegment' 2>/dev/null | head -1 || true)
  [ -n "$window" ] && xdotool getwindowname "$window" | grep -q '^rwsegment: paint' && break
  sleep 0.2
done
[ -n "$window" ] || { cat "$work/octave.log"; echo "no rwsegment window"; exit 1; }
eval "$(xdotool getwindowgeometry --shell "$window")"

# drag BUTTON X1 Y1 X2 Y2 ...: a stroke through those image pixels, the
# image's first pixel at the window's origin; then wait for the title to
# count the stroke.
strokes=0
drag() {
  local button=$1 x=$2 y=$3
  shift 3
  xdotool mousemove $((X + x)) $((Y + y)) mousedown "$button"
  while [ $# -ge 2 ]; do
    for k in 1 2 3 4 5 6 7 8; do
      xdotool mousemove $((X + x + ($1 - x) * k / 8)) $((Y + y + ($2 - y) * k / 8))
      sleep 0.02
    done
    x=$1 y=$2
    shift 2
  done
  xdotool mouseup "$button"
  strokes=$((strokes + 1))
  for _ in $(seq 100); do
    xdotool getwindowname "$window" | grep -q "^rwsegment: $strokes strokes" && return
    sleep 0.1
  done
  cat "$work/octave.log"; echo "the title does not count stroke $strokes"; exit 1
}
drag 1 150 267 330 267                         # across the flower: foreground
drag 3 40 40 480 40 480 480 40 480             # around it, over both background regions
xdotool getwindowname "$window"
xdotool key Return
wait "$octave_pid" || { cat "$work/octave.log"; exit 1; }
cat "$work/octave.log"
grep -q '^Update: 1 strokes, ' "$work/octave.log"
grep -Eq '^Update: 2 strokes, [0-9.]+% foreground, [0-9.]+ s$' "$work/octave.log"
grep -q '^Window test passed' "$work/octave.log"
