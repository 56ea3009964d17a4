function [alpha, fg, unknown] = mattecutout (img, labels, epsilon)
%MATTECUTOUT  A soft matte along the boundary of a hard segmentation.
%   [ALPHA, FG, UNKNOWN] = MATTECUTOUT (IMG, LABELS, EPSILON): IMG H-by-W-by-3
%   (uint8, uint16 or doubles in [0, 1]), LABELS the H-by-W logical object.
%   The pixels within a band along the boundary of LABELS are unknown, the
%   rest keep their label; MATTEALPHA solves the band, MATTECOLOUR the
%   object's colour in it.  The band is 12 pixels each side at 12
%   megapixels (scaled with the image's width and height, at least 6),
%   enough for a blur of 16 pixels across the edge and a boundary a few
%   pixels off; then, wherever the solved matte has not come down to 0 at
%   the band's outer rim (or up to 1 at its inner one) -- strands of hair,
%   fur, a wider blur -- the band grows there, by as much again, then by
%   twice that, and so on, each time that part solved again, up to 150
%   pixels at 12 megapixels (and at least 5 times the first band).  UNKNOWN is
%   the number of pixels solved.
  [h, w, ~] = size (img);
  scale = sqrt (h * w / 12e6);
  step = max (6, round (12 * scale));
  reach = max (5 * step, round (150 * scale));
  edge = boundary (labels);
  code = uint8 (2 * labels);
  code(grow (edge, step, h, w)) = 1;
  alpha = mattealpha (img, code, 512, 16, epsilon);
  grown = 0;
  ring = step;
  while grown < reach
    open = rim (code, alpha, h, w);
    if isempty (open)
      break;
    end
    ring = min (ring, reach - grown);
    near = grow (open, ring, h, w);
    near = near(code(near) ~= 1);
    if isempty (near)
      break;
    end
    code(near) = 1;
    where = false (h, w);
    where(near) = true;
    alpha = mattealpha (img, code, 128, 16, epsilon, alpha, where);
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
% The unknown pixels next to a known one whose matte still disagrees with
% it: above 0.03 beside the background, below 0.97 beside the object.
  u = find (code == 1);
  r = mod (u - 1, h) + 1;
  c = (u - r) / h + 1;
  bad = false (size (u));
  for d = [1 0; -1 0; 0 1; 0 -1].'
    r2 = r + d(1); c2 = c + d(2);
    ok = r2 >= 1 & r2 <= h & c2 >= 1 & c2 <= w;
    v = zeros (size (u));
    v(ok) = code(r2(ok) + (c2(ok) - 1) * h);
    known = ok & v ~= 1;
    bad = bad | (known & v == 0 & alpha(u) > 0.03) | (known & v == 2 & alpha(u) < 0.97);
  end
  at = u(bad);
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
