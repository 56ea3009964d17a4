function [alpha, fg, unknown] = mattecutout (img, labels, epsilon)
%MATTECUTOUT  A soft matte along the boundary of a hard segmentation.
%   [ALPHA, FG, UNKNOWN] = MATTECUTOUT (IMG, LABELS, EPSILON): IMG H-by-W-by-3
%   (uint8, uint16 or doubles in [0, 1]), LABELS the H-by-W logical object.
%   The pixels within a band along the boundary of LABELS are unknown, the
%   rest keep their label; MATTEALPHA solves the band, MATTECOLOUR the
%   object's colour in it.  The band is 12 pixels each side at 12
%   megapixels (scaled with the image's width and height, at least 8),
%   enough for a blur of 16 pixels across the edge and a boundary a few
%   pixels off; then, wherever the solved matte has not come down to 0
%   near the band's outer rim (or up to 1 near its inner one) -- strands
%   of hair, a wider blur -- the band grows there, by as much again, then by
%   twice that, and so on, each time the tiles holding new pixels solved
%   again, up to 150 pixels at 12 megapixels (and at least 5 times the
%   first band).  UNKNOWN is
%   the number of pixels solved.
  [h, w, ~] = size (img);
  scale = sqrt (h * w / 12e6);
  step = max (8, round (12 * scale));
  reach = max (5 * step, round (150 * scale));
  edge = boundary (labels);
  code = uint8 (2 * labels);
  code(grow (edge, step, h, w)) = 1;
  [alpha, half] = mattealpha (img, code, 512, 16, epsilon);
  grown = 0;
  ring = step;
  while grown < reach
    open = rim (code, alpha, h, w);
    if isempty (open)
      break;
    end
    ring = min (ring, reach - grown);
    near = grow (open, ring + 5, h, w);
    near = near(code(near) ~= 1);
    if isempty (near)
      break;
    end
    code(near) = 1;
    % The 512-pixel tiles holding new pixels are solved again whole (a
    % strand's matte is decided along all of it), the rest kept.
    tiles = false (ceil (h / 512), ceil (w / 512));
    [r, c] = ind2sub ([h, w], near);
    tiles(unique (ceil (r / 512) + (ceil (c / 512) - 1) * size (tiles, 1))) = true;
    again = tiles(ceil ((1:h) / 512), ceil ((1:w) / 512));
    part = code;
    part(code == 1 & ~again) = 3;
    [alpha, half] = mattealpha (img, part, 512, 24, epsilon, alpha, false, half);
    grown = grown + ring;
    ring = 2 * ring;
  end
  unknown = nnz (code == 1);
  fg = mattecolour (img, alpha, code, 256, 90);
end

function at = boundary (labels)
% The pixels of the object with a 4-neighbour off it, and those off it
% with a 4-neighbour on it (linear indices).
  [h, w] = size (labels);
  d = false (h, w);
  d(1:end - 1, :) = labels(1:end - 1, :) ~= labels(2:end, :);
  d(2:end, :) = d(2:end, :) | (labels(1:end - 1, :) ~= labels(2:end, :));
  d(:, 1:end - 1) = d(:, 1:end - 1) | (labels(:, 1:end - 1) ~= labels(:, 2:end));
  d(:, 2:end) = d(:, 2:end) | (labels(:, 1:end - 1) ~= labels(:, 2:end));
  at = find (d);
end

function at = rim (code, alpha, h, w)
% The unknown pixels 4 to 5 pixels in from the band's edge whose matte
% disagrees with the known side there: above 0.1 on the background's
% side, below 0.9 on the object's (or 3 times as far off as the median
% there, in a noisy image).  (At the edge itself the known pixels pull the
% matte of a strand that crosses it down to nothing; 4 pixels in, it
% shows.)  None on a side where they are more than a tenth of those
% pixels: there noise or texture, not strands, keep the matte off.
  u = code == 1;
  at = [];
  for side = [0 2]
    known = code == side;
    edge = find (known & (shift (u, 1, 0) | shift (u, -1, 0) | shift (u, 0, 1) | shift (u, 0, -1)));
    inner = grow (edge, 3, h, w);
    ring = grow (edge, 5, h, w);
    near = false (h, w);
    near(ring) = true;
    near(inner) = false;
    near = find (near & u);
    off = double (alpha(near));             % how far from the known side
    if side == 2
      off = 1 - off;
    end
    open = near(off > max (0.1, 3 * median (off)));
    if numel (open) <= 0.1 * numel (near)
      at = [at; open];
    end
  end
end

function moved = shift (mask, dr, dc)
% MASK moved by (dr, dc) pixels, false coming in from outside.
  moved = false (size (mask) + 2);
  moved(2 + dr:end - 1 + dr, 2 + dc:end - 1 + dc) = mask;
  moved = moved(2:end - 1, 2:end - 1);
end

function at = grow (at, radius, h, w)
% The pixels within RADIUS of the pixels AT (a disc), as linear indices.
  r = mod (at - 1, h) + 1;
  c = (at - r) / h + 1;
  [dy, dx] = ndgrid (-radius:radius, -radius:radius);
  inside = dy .^ 2 + dx .^ 2 <= radius ^ 2;
  dy = dy(inside).'; dx = dx(inside).';
  mask = false (h, w);
  for k = 1:ceil (numel (r) / 5000)
    part = (k - 1) * 5000 + 1 : min (numel (r), k * 5000);
    r2 = r(part) + dy; c2 = c(part) + dx;
    ok = r2 >= 1 & r2 <= h & c2 >= 1 & c2 <= w;
    mask(r2(ok) + (c2(ok) - 1) * h) = true;
  end
  at = find (mask);
end
