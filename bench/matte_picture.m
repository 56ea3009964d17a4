function matte_picture (dir, file)
%MATTE_PICTURE  The soft cut-out laid over a new background, and a close-up.
%   MATTE_PICTURE (DIR, FILE) takes DIR as MATTE_BENCH ('make', ...) and
%   ('segment', ...) left it and writes FILE (8-bit PNG): on the left,
%   rwsegment's cut-out (DIR/seg_cutout.png) laid over the composite's
%   third photograph, scaled to 640 pixels high; on the right, at 4 times
%   its size, the 160-by-160 piece of it where the most pixels are neither
%   opaque nor transparent (an edge with strands), above the same piece
%   laid through the true alpha.
  toolbox_parts ();              % rwread, the jobs' reader
  T = load (fullfile (dir, 'truth.mat'));
  [fg, alpha] = rwread (fullfile (dir, 'seg_cutout.png'));
  back = double (T.newbg) / 255;
  laid = alpha .* fg + (1 - alpha) .* back;
  truth = double (T.alpha) .* (double (T.fg) / 255) + (1 - double (T.alpha)) .* back;
  [h, w, ~] = size (laid);
  rows = min (h, round (((1:640) - 0.5) * h / 640 + 0.5));
  cols = min (w, round (((1:round (640 * w / h)) - 0.5) * w / round (640 * w / h) + 0.5));
  whole = laid(rows, cols, :);
  % The 160-square with the most mixed pixels, on a grid of 40.
  mixed = double (alpha > 0.05 & alpha < 0.95);
  best = -1;
  for r = 1:40:h - 159
    for c = 1:40:w - 159
      n = sum (sum (mixed(r:r + 159, c:c + 159)));
      if n > best
        best = n; at = [r, c];
      end
    end
  end
  piece = @(x) x(at(1) + floor ((0:319) / 4), at(2) + floor ((0:639) / 4), :);
  zoom = [piece(laid); ones(8, 640, 3); piece(truth)];
  zoom = zoom(1:640, :, :);
  % Mark the piece on the whole picture.
  r0 = max (1, round (at(1) * 640 / h)); r1 = min (640, round ((at(1) + 159) * 640 / h));
  c0 = max (1, round (at(2) * size (whole, 2) / w)); c1 = min (size (whole, 2), round ((at(2) + 159) * size (whole, 2) / w));
  yellow = [1 1 0];
  for ch = 1:3
    whole([r0 r1], c0:c1, ch) = yellow(ch);
    whole(r0:r1, [c0 c1], ch) = yellow(ch);
  end
  imwrite (uint8 (round (255 * [whole, ones(640, 8, 3), zoom])), file);
end
