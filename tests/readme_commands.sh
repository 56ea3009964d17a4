#!/usr/bin/env bash
# The README's commands, in the order a newcomer runs them, on a fresh clone
# of this checkout (its committed state): the main job first, then a
# photograph's segmentation from a stroke file, painting (here without a
# display, where it must say so after finding the MEX functions) and the
# painting benchmark.  Each command must still stand in the README word for
# word.  `bash tests/run` and `bash bench/run`, minutes long, are left out.
#
#   bash tests/readme_commands.sh SOURCE_DIR
set -euo pipefail
src=$1
git -C "$src" rev-parse --git-dir >/dev/null 2>&1 || { echo "not a git checkout: skipped"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
git clone --quiet "$src" "$work/clone"
cd "$work/clone"

step() {
  grep -qF -- "$1" README.md || { echo "The README no longer has: $1"; exit 1; }
  echo "\$ $1"
}

cmd='bash examples/run'
step "$cmd"
timeout 400 bash -c "$cmd"
test -s build/rwsegment.png
test -s build/pixelgraph-1.0.0.tar.gz       # for the README's pkg install

# A photograph and the strokes painted over it, as a person would have them.
timeout 60 octave-cli --norc --quiet --no-window-system --eval "
  here = pwd ();
  cd (fullfile (here, 'toolbox', 'private'));
  [img, strokes] = testImage ();
  [fg, bg] = strokeMasks (strokes, 512, 512);
  cd (here);
  imwrite (img, 'photo.jpg');
  seeds = zeros (512, 512, 3, 'uint8');
  seeds(:, :, 1) = 255 * fg;
  seeds(:, :, 3) = 255 * bg;
  imwrite (seeds, 'strokes.png');"

cmd="octave-cli --path build/octave --path toolbox --eval \"rwsegment('photo.jpg', 'strokes.png', 'result.png');\""
step "$cmd"
timeout 120 bash -c "$cmd" | tee "$work/batch.log"
grep -q '^Foreground: 1[0-9.]*% of the pixels' "$work/batch.log"
if grep -q '^ans' "$work/batch.log"; then echo "the command prints its result array"; exit 1; fi
test -s result.png && test -s result_mask.png && test -s result_cutout.png

# A trimap drawn from that mask: 6 pixels each side of its outline unknown.
timeout 60 octave-cli --norc --quiet --no-window-system --eval "
  m = imread ('result_mask.png') > 0;
  near = conv2 (double (m), ones (13), 'same');
  t = uint8 (255 * m);
  t(near > 0 & near < 169) = 128;
  imwrite (t, 'trimap.png');"
cmd="octave-cli --path build/octave --path toolbox --eval \"rwmatte('photo.jpg', 'trimap.png', 'cutout.png');\""
step "$cmd"
timeout 120 bash -c "$cmd" >"$work/matte.log" 2>&1 || { cat "$work/matte.log"; exit 1; }
test "$(head -c 26 cutout.png | tail -c 2 | od -An -tu1 | tr -s ' ')" = " 8 6"   # 8-bit RGBA

cmd="octave --no-gui --path build/octave --path toolbox --eval \"rwsegment('photo.jpg', [], 'result.png', [], 'strokes.png');\""
step "$cmd"
if timeout 120 env -u DISPLAY bash -c "$cmd" </dev/null >"$work/paint.log" 2>&1; then
  cat "$work/paint.log"; echo "painting without a display did not fail"; exit 1
fi
grep -q 'Start Octave with a display' "$work/paint.log" || { cat "$work/paint.log"; exit 1; }

cmd='octave-cli --path build/octave --path toolbox bench/paint_replay.m'
step "$cmd"
RUNS=1 timeout 300 bash -c "$cmd"
