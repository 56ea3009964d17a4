function fg = mattecolour (img, alpha, code, tile, radius)
%MATTECOLOUR  The object's own colour in the mixed pixels of a matte.
%   FG = MATTECOLOUR (IMG, ALPHA, CODE, TILE, RADIUS): IMG H-by-W-by-3
%   (uint8, uint16 or doubles in [0, 1]), ALPHA H-by-W in [0, 1], CODE as
%   for MATTEALPHA (1 on the pixels whose opacity was solved).  FG is IMG's
%   class and size: the image on the known object, the object's colour F
%   on the solved pixels with ALPHA > 0, 0 wherever ALPHA is 0.
%
%   A mixed pixel holds alpha * F + (1 - alpha) * B.  F and B are taken
%   smooth: first the mean colour of the opaque pixels (alpha >= 0.98)
%   within RADIUS, or where there are none, of the most opaque ones
%   (weights alpha^8), and likewise of the background; then each is moved by its share of what the pixel's
%   colour still differs from alpha * F + (1 - alpha) * B.  Then, within
%   RADIUS/6 pixels and again within half that and so on down to one
%   pixel, the estimates are averaged (weighted by alpha and 1 - alpha)
%   and moved, each time by the least change to F and B that makes
%   alpha * F + (1 - alpha) * B the pixel's colour: the wide pass gives the
%   object's colour where it changes slowly, the narrow ones bring in
%   the strands' own.  Two flat colours blended come out exact.  Tile by
%   tile, each in a crop as much wider as the passes reach together.
  [h, w, ~] = size (img);
  fg = zeroWhere (img, alpha <= 0);
  solving = code == 1 & alpha > 0 & alpha < 1;
  top = 1;
  if isinteger (img)
    top = double (intmax (class (img)));
  end
  small = max (1, round (radius / 6));
  radii = small;                        % the narrower passes: halved down to 1
  while radii(end) > 1
    radii(end + 1) = floor (radii(end) / 2);
  end
  margin = sum (radii);                 % what the passes reach, together
  f = max (1, round (radius / 15));     % the wide means are taken over cells of f pixels
  cr = round (radius / f);              % ... RADIUS in cells
  for core = tilesHolding (solving, tile).'
    core = core{1};
    % Only the rows and columns of the tile that hold a solved pixel: a
    % band crossing a tile along one side fills a strip of it.
    solved = code(core{1}, core{2}) == 1 & alpha(core{1}, core{2}) > 0;
    inRows = find (any (solved, 2));
    inCols = find (any (solved, 1));
    solved = solved(inRows(1):inRows(end), inCols(1):inCols(end));
    core = {core{1}(inRows(1):inRows(end)), core{2}(inCols(1):inCols(end))};
    rows = max (1, core{1}(1) - margin) : min (h, core{1}(end) + margin);
    cols = max (1, core{2}(1) - margin) : min (w, core{2}(end) + margin);
    I = double (img(rows, cols, :)) / top;
    a = double (alpha(rows, cols));
    b = 1 - a;
    [F, B] = wideMeans (img, alpha, rows, cols, f, cr, top);   % the opaque pixels' colour
    err = I - a .* F - b .* B;
    F = F + a .* err;
    B = B + b .* err;
    for r = radii
      F = smooth (F, a, r);
      B = smooth (B, b, r);
      err = (I - a .* F - b .* B) ./ (a .^ 2 + b .^ 2);
      F = F + a .* err;
      B = B + b .* err;
    end
    F = min (max (F, 0), 1);
    in = {core{1} - rows(1) + 1, core{2} - cols(1) + 1};
    part = fg(core{1}, core{2}, :);
    est = F(in{1}, in{2}, :) * top;
    sel = repmat (solved, [1 1 3]);
    if isinteger (img)
      part(sel) = cast (round (est(sel)), class (img));
    else
      part(sel) = est(sel);
    end
    fg(core{1}, core{2}, :) = part;
  end
end

function [F, B] = wideMeans (img, alpha, rows, cols, f, cr, top)
% The mean colour of the opaque object pixels (alpha >= 0.98, or the most
% opaque, weights alpha^8) within CR cells of F-by-F pixels around each
% pixel of IMG (ROWS, COLS, :), and likewise of the background: summed
% per cell of the image's grid of cells, over the (2CR+1)-square of cells
% around each, and interpolated linearly between the cells' centres.  A
% mean this wide changes little over a cell, and the whole of it costs a
% few passes over the pixels instead of a box sum of each.
  [h, w] = size (alpha);
  ci = max (1, ceil (rows(1) / f) - cr) : min (ceil (h / f), ceil (rows(end) / f) + cr);
  cj = max (1, ceil (cols(1) / f) - cr) : min (ceil (w / f), ceil (cols(end) / f) + cr);
  pr = (ci(1) - 1) * f + 1 : min (h, ci(end) * f);
  pc = (cj(1) - 1) * f + 1 : min (w, cj(end) * f);
  I = double (img(pr, pc, :)) / top;
  a = double (alpha(pr, pc));
  b = 1 - a;
  wf = (a >= 0.98) + 1e-3 * eighth (a);
  wb = (b >= 0.98) + 1e-3 * eighth (b);
  nr = numel (ci); nc = numel (cj);
  cellSum = @(x) boxSum (reshape (sum (sum (reshape ([x, zeros(size (x, 1), nc * f - size (x, 2)); ...
                                                     zeros(nr * f - size (x, 1), nc * f)], ...
                                                    f, nr, f, nc), 1), 3), nr, nc), cr);
  tf = cellSum (wf) + 1e-12;
  tb = cellSum (wb) + 1e-12;
  % linear interpolation from the cells' centres to the pixels ROWS, COLS
  Wr = between (rows, ci, f);
  Wc = between (cols, cj, f);
  F = zeros (numel (rows), numel (cols), 3);
  B = F;
  for ch = 1:3
    F(:, :, ch) = Wr * (cellSum (wf .* I(:, :, ch)) ./ tf) * Wc.';
    B(:, :, ch) = Wr * (cellSum (wb .* I(:, :, ch)) ./ tb) * Wc.';
  end
end

function W = between (at, cells, f)
% The sparse matrix that interpolates values at the centres of the cells
% CELLS (consecutive, of F pixels) linearly to the pixels AT.
  [lo, hi, t] = centresBetween (at - (cells(1) - 1) * f, f, numel (cells));
  n = numel (at);
  W = sparse ([1:n, 1:n], [lo; hi], [1 - t; t], n, numel (cells));
end

function m = smooth (X, weight, r)
% The WEIGHT-ed mean of each plane of X over the (2R+1)-square around each
% pixel.
  total = boxSum (weight, r) + 1e-12;
  m = zeros (size (X));
  for ch = 1:size (X, 3)
    m(:, :, ch) = boxSum (weight .* X(:, :, ch), r) ./ total;
  end
end

function s = boxSum (x, r)
% The sum of X over the (2R+1)-square around each pixel, cut at the edges.
  [h, w] = size (x);
  c = cumsum ([zeros(1, w); x], 1);
  x = c(min (h, (1:h) + r) + 1, :) - c(max (0, (1:h) - r - 1) + 1, :);
  c = cumsum ([zeros(h, 1), x], 2);
  s = c(:, min (w, (1:w) + r) + 1) - c(:, max (0, (1:w) - r - 1) + 1);
end

function x = eighth (x)
% X .^ 8 by three squarings: a fifth of the time of the power.
  x = x .* x;
  x = x .* x;
  x = x .* x;
end
