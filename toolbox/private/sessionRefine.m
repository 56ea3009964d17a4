function S = sessionRefine (S, tol)
%SESSIONREFINE  The boundary of a session's answer decided at full resolution.
%   S = SESSIONREFINE (S, TOL) solves once more, on the image's own pixels,
%   in a strip along the boundary found at the working scale: the
%   working-scale blocks within S.reach blocks of a change of label (2
%   where sharpness is measured, which may move the boundary a block; else
%   1), grouped into patches of at least 6-by-6 pixels.  PALLANT lists the edges of mosaics of those
%   patches, each patch with a one-pixel rim, at most 2^18 pixels at a
%   time, so the edges of the whole image are never listed at once.  The
%   strip's pixels are solved again with colour priors fitted to the
%   answer's own pixels (the centre pixel of every block away from the
%   boundary, on each side) and the same kind of weights, the seeds fixed
%   and the pixels around the strip fixed to the label the working scale
%   gave them; elsewhere S.prob is the working scale's, interpolated.
  total = tic;
  S.stripEdges = 0;
  f = S.factor; H = S.fullH; W = S.fullW;
  g = ceil (6 / f);                     % blocks per patch side
  U = g * f;                            % pixels per patch side
  [hs, ws] = size (S.x);

  % The strip: the blocks next to a change of label (on both sides of it),
  % by patch.
  L = S.x >= 0.5;
  r = S.reach;
  pad = L([ones(1, r), 1:hs, hs * ones(1, r)], [ones(1, r), 1:ws, ws * ones(1, r)]);
  change = false (hs, ws);
  for dr = -r:r
    for dc = -r:r
      change = change | pad(1 + r + dr:hs + r + dr, 1 + r + dc:ws + r + dc) ~= L;
    end
  end
  [br, bc] = find (change);
  inStrip = false (ceil (H / U), ceil (W / U));
  inStrip(ceil (br / g) + (ceil (bc / g) - 1) * size (inStrip, 1)) = true;
  [pr, pc] = find (inStrip);
  pr = pr(:); pc = pc(:);                        % columns, even for one row

  % Models of the features on the image's own pixels, learnt from the
  % answer as at the working scale (the centre pixel of every block), and
  % the seeds' colour noise.
  fgAt = find (S.fg(:));
  bgAt = find (S.bg(:));
  centre = min ((0:hs - 1).' * f + ceil (f / 2), H) + (min ((0:ws - 1) * f + ceil (f / 2), W) - 1) * H;
  blocks = find (L & ~change);                    % not the boundary's
  models.fg.parts = mixtureFit (pixelFeatures (S, centre, blocks, 2^14), 5);
  blocks = find (~L(:) & ~change(:) & ~S.dropped);
  models.bg.parts = mixtureFit (pixelFeatures (S, centre, blocks, 2^14), 5);
  noiseFg = pixelNoise (S.img, S.fg, fgAt, S.top);
  noiseBg = pixelNoise (S.img, S.bg, bgAt, S.top);

  % The strip's edges, patch by patch in mosaics of at most 2^18 pixels:
  % the patches, each with a one-pixel rim from the image around it,
  % stacked into a column (what lies outside the image is left out).
  % Every edge from a patch's own pixels is kept once: within a patch from
  % the lower index, between two strip patches from the patch holding the
  % lower pixel, and every edge to a pixel outside the strip.
  per = max (1, floor (2^18 / (U + 2)^2));
  parts = cell (ceil (numel (pr) / per), 5);
  for chunk = 1:size (parts, 1)
    sel = (chunk - 1) * per + 1:min (chunk * per, numel (pr));
    m = numel (sel);
    R = (pr(sel).' - 1) * U + (0:U + 1).';              % (U+2)-by-m
    C = (pc(sel).' - 1) * U + (0:U + 1).';
    patch = repmat (1:m, U + 2, 1);
    rows = R(:);
    cols = C(:, patch(:)).';                           % a row of columns a mosaic row
    inside = (rows >= 1 & rows <= H) & (cols >= 1 & cols <= W);
    gid = (rows + (cols - 1) * H) .* inside;           % the pixel, 0 outside
    own = repmat ((0:U + 1).' >= 1 & (0:U + 1).' <= U, m, U + 2) & ...
          repmat ((0:U + 1) >= 1 & (0:U + 1) <= U, m * (U + 2), 1) & inside;
    mosaic = zeros ([size(gid), 3]);
    for ch = 1:3
      plane = zeros (size (gid));
      plane(inside) = double (S.img(gid(inside) + (ch - 1) * H * W)) / S.top;
      mosaic(:, :, ch) = plane;
    end
    E = offsetGraph (mosaic);
    X = reshape (mosaic, [], 3).';
    prior = priorOf (models.fg.parts, models.bg.parts, X);
    noise = prior * noiseFg + (1 - prior) * noiseBg;
    a = gid(E.s); b = gid(E.t);
    ownA = own(E.s); ownB = own(E.t);
    keep = a > 0 & b > 0 & (ownA | ownB);
    other = keep & ~(ownA & ownB);                     % one end in the rim
    outer = b .* ownA + a .* ownB;                     % that end
    outer(~other) = 1;
    stripEnd = inStrip(ceil ((mod (outer - 1, H) + 1) / U) + ...
                       (ceil ((floor ((outer - 1) / H) + 1) / U) - 1) * size (inStrip, 1));
    stripEnd = stripEnd(:);                            % a column, even for one row
    keep = keep & ~(other & stripEnd & (a .* ownA + b .* ownB) > outer);
    w = edgeWeights (E, noise);
    parts(chunk, :) = {a(keep), b(keep), w(keep), gid(own), prior(own)};
    S.stripEdges = S.stripEdges + 2 * numel (E.s);
  end

  % The nodes: the strip's pixels, then the pixels around it.
  a = vertcat (zeros (0, 1), parts{:, 1});
  b = vertcat (zeros (0, 1), parts{:, 2});
  w = vertcat (zeros (0, 1), parts{:, 3});
  strip = vertcat (zeros (0, 1), parts{:, 4});
  prior = vertcat (zeros (0, 1), parts{:, 5});
  node = zeros (H, W, 'uint32');
  node(strip) = 1:numel (strip);
  ends = [a; b];
  rim = unique (ends(node(ends) == 0));
  node(rim) = numel (strip) + (1:numel (rim));
  n = numel (strip) + numel (rim);
  % (Indexing a one-row image gives rows: every list is made a column.)
  column = @(v) reshape (v, [], 1);
  G = walkGraph (struct ('s', double (column (node(a))), 't', double (column (node(b)))), n);
  fgStrip = column (S.fg(strip));
  free = [~(fgStrip | column (S.bg(strip))); false(numel (rim), 1)];
  coarse = coarseAt (S.x, f, [strip; rim], H);
  fixed = [double(fgStrip); double(coarse(numel (strip) + 1:end) >= 0.5)];
  x = solveWalk (G, w, free, fixed, [prior; zeros(numel (rim), 1)], S.gamma, ...
                              coarse, tol);

  % (The solver's tolerance may take a value a little outside [0, 1].
  % The image-sized array is clipped where it stands: MIN and MAX would
  % each make another, and a fresh array of a photograph's size costs
  % more than its arithmetic.)
  p = growProb (S.x, f, H, W);
  p(p < 0) = 0;
  p(p > 1) = 1;
  p(strip) = min (max (x(1:numel (strip)), 0), 1);
  p(S.fg) = 1;
  p(S.bg) = 0;
  S.prob = p;
  clear p
  S.labels = S.prob >= 0.5;
  S.strip = numel (strip);
  S.time.full = toc (total);
end

function X = pixelFeatures (S, centre, blocks, most)
% The features on the image's own pixels of the centre pixels CENTRE of
% the working-scale BLOCKS, at most MOST of them evenly spread: their
% colours, a column each.  (Sharpness, measured over a window, is left
% out here: on the image's own pixels it would blur the boundary.)
  blocks = blocks(unique (round (linspace (1, numel (blocks), min (numel (blocks), most)))));
  X = colours (S.img, centre(blocks), numel (blocks)) / S.top;
end

function noise = pixelNoise (img, seeds, at, top)
% The mean squared colour difference between 8-neighbours both in SEEDS
% (whose pixels are AT), at the image's own size (TOP its value for 1),
% plus eps.
  [h, w, d] = size (img);
  r = mod (at - 1, h) + 1;
  c = floor ((at - 1) / h) + 1;
  total = 0;
  count = 0;
  for step = [1 0; -1 1; 0 1; 1 1].'
    ok = r + step(1) >= 1 & r + step(1) <= h & c + step(2) <= w;
    here = at(ok);
    there = here + step(1) + step(2) * h;
    both = seeds(there);
    here = here(both);
    there = there(both);
    dc = zeros (numel (here), 1);
    for ch = 1:d
      dc = dc + (double (img(here + (ch - 1) * h * w)) - double (img(there + (ch - 1) * h * w))).^2;
    end
    total = total + sum (dc);
    count = count + numel (dc);
  end
  noise = total / top^2 / max (count, 1) + eps;
end

function samples = colours (img, at, most)
% The colours of IMG at the pixels AT, at most MOST of them evenly spread,
% as columns.
  at = at(unique (round (linspace (1, numel (at), min (numel (at), most)))));
  plane = size (img, 1) * size (img, 2);
  samples = double ([img(at), img(at + plane), img(at + 2 * plane)].');
end

function p = growProb (x, factor, h, w)
% X, one value per FACTOR-by-FACTOR block, interpolated to H-by-W pixels.
  [hs, ws] = size (x);
  [lo, hi, t] = centresBetween (1:h, factor, hs);
  down = sparse ([1:h, 1:h], [lo; hi], [1 - t; t], h, hs);
  [lo, hi, t] = centresBetween (1:w, factor, ws);
  across = sparse ([lo; hi], [1:w, 1:w], [1 - t; t], ws, w);
  p = full ((down * x) * across);      % (sparse for a working scale of one block)
end

function v = coarseAt (x, factor, at, h)
% X interpolated as GROWPROB does, at the pixels with linear indices AT of
% an image H pixels high.
  [hs, ws] = size (x);
  [r0, r1, tr] = centresBetween (mod (at - 1, h) + 1, factor, hs);
  [c0, c1, tc] = centresBetween (floor ((at - 1) / h) + 1, factor, ws);
  x = x(:);
  v = (x(r0 + (c0 - 1) * hs) .* (1 - tc) + x(r0 + (c1 - 1) * hs) .* tc) .* (1 - tr) + ...
      (x(r1 + (c0 - 1) * hs) .* (1 - tc) + x(r1 + (c1 - 1) * hs) .* tc) .* tr;
end
