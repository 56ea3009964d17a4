function [alpha, fg, unknown] = mattecutout (img, labels, epsilon)
%MATTECUTOUT  A soft matte along the boundary of a hard segmentation.
%   [ALPHA, FG, UNKNOWN] = MATTECUTOUT (IMG, LABELS, EPSILON): IMG H-by-W-by-3
%   (uint8, uint16 or doubles in [0, 1]), LABELS the H-by-W logical object.
%   The pixels within a band along the boundary of LABELS are unknown, the
%   rest keep their label; MATTEALPHA solves the band, MATTECOLOUR the
%   object's colour in it.  The band is 15 pixels each side at 12
%   megapixels (scaled with the image's width and height, at least 8, or
%   an eighth of a small image's height or width),
%   enough for a blur of 16 pixels across the edge and a boundary several
%   pixels off, which the colours on either side then pull back.  Then, wherever the matte has not come down to 0 near the
%   band's outer rim (or up to 1 near its inner one) -- strands of hair, a
%   wider blur -- the band grows there, by as much again, then by twice
%   that, and so on, up to 150 pixels at 12 megapixels (and at least 5
%   times the first band).  The growth is decided on the matte of the
%   image at half size (2-by-2 cells averaged), where a strand a pixel
%   wide still shows at half its opacity and each ring costs a quarter as
%   much: after each ring the cells within 16 of the new ones are solved
%   again, the rest kept, from the last matte by conjugate gradients.  The
%   grown band is then solved once at full size, its pure pixels settled
%   by the half-size matte and the rest solved from it, by conjugate
%   gradients again (MATTEALPHA).  Both the first half-size matte and the
%   full-size solve also hold to what the colours on either side of the
%   band say of each pixel (MATTEPRIOR; the rings' new cells, known when
%   it was made at half size, are left to the windows).
%   UNKNOWN is the number of pixels solved.
  [h, w, ~] = size (img);
  scale = sqrt (h * w / 12e6);
  step = max (8, round (15 * scale));
  step = min (step, max (1, floor (min (h, w) / 8)));    % a small image keeps known pixels
  reach = max (5 * step, round (150 * scale));
  edge = find (regionEdges (labels));     % both sides of the boundary
  code = uint8 (labels) * uint8 (2);      % (not through 96 MB of doubles at 12 MP)
  code(grow (edge, step, h, w)) = 1;
  % A side with no pixel left known (an object smaller than the band)
  % keeps its labels: the matte would have nothing of that side to hold
  % to.  (A small part beside a larger one is left to the matte, which
  % takes away the labels' crumbs along strands and a false island the
  % same way.)
  for side = [0 2]
    if ~any (code(:) == side)
      code(code == 1 & labels == side / 2) = side;
    end
  end
  f = 2;                      % the scale the band's growth is decided at
  if min (h, w) < 8 * f
    alpha = mattealpha (img, code, 512, 16, epsilon, labels, struct ('direct', true));
  else
    small = cellMean (img, f);
    [hs, ws, ~] = size (small);
    side = uint8 (2 * (cellMean (labels, f) > 0.5));
    side(cellMean (code == 1, f) > 0) = 1;      % a cell holding an unknown pixel
    % what the known colours nearby say, at half size for the first band
    % (the rings' new cells, known before, are left to the windows) and
    % at full size for the last solve
    [prior, weight] = matteprior (small, side, 256, 64);
    drawn = struct ('prior', prior, 'weight', weight, 'direct', true);
    clear prior weight
    a = mattealpha (small, side, 512, 16, epsilon, single (side == 2), drawn);
    grown = 0;
    ring = step;
    margin = 16;
    shut = false (1, 2);      % a side found noisy stays shut
    while grown < reach
      [open, noisy] = rim (side, a, hs, ws, shut);
      shut = shut | noisy;
      if isempty (open)
        break;
      end
      ring = min (ring, reach - grown);
      near = grow (open, ceil ((ring + 5) / f), hs, ws);
      near = near(side(near) ~= 1);
      if isempty (near)
        break;
      end
      side(near) = 1;
      % The cells within 16 of the new ones are solved again (a strand's
      % matte is decided along it), the rest kept.
      part = side;
      again = false (hs, ws);
      again(grow (open, ceil ((ring + 5) / f) + 16, hs, ws)) = true;
      part(side == 1 & ~again) = 3;
      a = mattealpha (small, part, 512, 24, epsilon, a, setfield (drawn, 'tol', 1e-4));
      grown = grown + ring;
      ring = 2 * ring;
      margin = 24;
    end
    code(side(ceil ((1:h) / f), ceil ((1:w) / f)) == 1) = 1;
    clear drawn
    [prior, weight] = matteprior (img, code, 256, 64);
    alpha = mattealpha (img, code, 512, margin, epsilon, labels, ...
                        struct ('half', small, 'coarse', a, 'reach', 1, 'tol', 1e-4, ...
                                'prior', prior, 'weight', weight));
    clear prior weight
  end
  unknown = nnz (code == 1);
  fg = mattecolour (img, alpha, code, 256, 90);
end

function [at, noisy] = rim (code, alpha, h, w, shut)
% The unknown cells of the half-size matte one to two cells in from the
% band's edge whose matte disagrees with the known side there: above 0.05
% on the background's side (a strand a pixel wide shows at half its
% opacity), below 0.85 on the object's (whose wide smooth inside drifts a
% little off 1 at half size: at 0.9 the band grew further into a
% composite's object where its labels were off, at 0.75 hardly, with as
% many pixels visibly off either way), or 3 times as far off as the median
% there, in a noisy image.  (At the edge itself the known cells pull the
% matte of a strand that crosses it down to nothing; a little way in, it
% shows.)
% None on a side where they are more than a tenth of those cells: there
% noise or texture, not strands, keep the matte off, and NOISY says so.
% None on a side that SHUT (background, object) closes.
  u = code == 1;
  at = [];
  noisy = false (1, 2);
  for side = [0 2]
    if shut(1 + side / 2)
      continue;
    end
    known = code == side;
    edge = find (known & (shift (u, 1, 0) | shift (u, -1, 0) | shift (u, 0, 1) | shift (u, 0, -1)));
    near = false (h, w);
    near(grow (edge, 2, h, w)) = true;
    near(grow (edge, 1, h, w)) = false;
    near = find (near & u);
    if isempty (near)
      continue;
    end
    off = double (alpha(near));             % how far from the known side
    if side == 2
      off = 1 - off;
    end
    open = near(off > max (0.05 + 0.1 * side / 2, 3 * median (off)));
    if numel (open) <= 0.1 * numel (near)
      at = [at; open];
    else
      noisy(1 + side / 2) = true;
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
% The pixels within RADIUS (a whole number) of the pixels AT (a disc), as
% linear indices in order.  Each column of a pixel's disc is a run of
% rows, marked +1 where it starts and -1 past its end and summed down the
% columns, in strips of 256 columns: the work goes with the pixels times
% the disc's width, not its area (at 12 megapixels the first band in 0.07
% s, not 1.2 s), and no array is the image's size.
  at = at(:);
  if isempty (at)
    return;
  end
  r = mod (at - 1, h) + 1;
  c = (at - r) / h + 1;
  dx = -radius:radius;
  half = floor (sqrt (radius ^ 2 - dx .^ 2));     % the run's half-length at DX
  parts = cell (1, ceil (w / 256));
  for k = 1:numel (parts)
    first = (k - 1) * 256 + 1;
    last = min (w, k * 256);
    near = find (c >= first - radius & c <= last + radius);
    if isempty (near)
      continue;
    end
    cols = c(near) + dx;
    top = max (r(near) - half, 1);
    past = min (r(near) + half, h) + 1;
    cols = cols(:); top = top(:); past = past(:);  % columns, even for one pixel
    in = cols >= first & cols <= last;
    j = cols(in) - (first - 1);
    n = numel (j);
    marks = accumarray ([top(in), j; past(in), j], [ones(n, 1); -ones(n, 1)], [h + 1, last - first + 1]);
    [rr, cc] = find (cumsum (marks) > 0);
    parts{k} = rr + (cc + first - 2) * h;
  end
  at = vertcat (zeros (0, 1), parts{:});
end
