function [labels, prob, info] = rwsegment (imageFile, seedFile, outFile, gamma)
%RWSEGMENT  Foreground and background of a colour image from a few seed strokes.
%   RWSEGMENT with no argument segments a 512-by-512 test image that it
%   makes itself (coloured regions of non-convex shape under a lighting
%   gradient, with noise strong enough that colour alone does not separate
%   them), with seed strokes that fit it, and prints how many pixels it
%   labels as the regions it knows.
%
%   RWSEGMENT (IMAGEFILE, SEEDFILE) segments the colour (or grey) image in
%   IMAGEFILE.  SEEDFILE is an image of the same size whose red strokes
%   (pure red, 255 0 0) mark foreground and whose blue strokes (pure blue,
%   0 0 255) mark background; every other pixel is unmarked, so the
%   strokes can be drawn over a copy of the photograph or on black.
%
%   RWSEGMENT (IMAGEFILE, SEEDFILE, OUTFILE), or RWSEGMENT ([], [], OUTFILE)
%   for the test image, writes the picture to OUTFILE (default:
%   rwsegment.png in the current folder): side by side, the image with its
%   seeds, the foreground probability (dark blue 0 to dark red 1) and the
%   outline of the foreground over the image.
%
%   RWSEGMENT (IMAGEFILE, SEEDFILE, OUTFILE, GAMMA) sets the weight of the
%   colour prior (default 0.05): lower it when parts of the object share
%   the background's colours, raise it for noisy images.
%
%   An image of more than a million pixels is segmented at a reduced scale
%   (the sparse solve grows faster than the pixel count) and the
%   probability is interpolated back to full size.
%
%   [LABELS, PROB, INFO] = RWSEGMENT (...) returns the H-by-W logical
%   foreground mask, the foreground probability of every pixel, and a
%   struct with the edge count, the time of every stage, the picture's
%   path and, for the test image, the accuracy.
%
%   The method: a random walker with colour priors.  PALLANT lists the
%   edges of the 8-neighbour pixel graph with their squared colour
%   differences; KESTROW evaluates Gaussian colour models of the seeded
%   foreground and background at every pixel; MODRICK pairs every edge
%   with its reverse edge so that direction-dependent weights become
%   symmetric.  The foreground probability x minimises
%       x' * L * x + gamma * sum ((1 - p) .* x.^2 + p .* (1 - x).^2)
%   with the seeds fixed (1 foreground, 0 background), L the graph
%   Laplacian and p the colour prior; a pixel is foreground where x >= 0.5.
%
%   Needs PALLANT, KESTROW and MODRICK on the path.  Runs in MATLAB and in
%   GNU Octave.
%
%   See also PALLANT, KESTROW, MODRICK.

  if nargin < 3 || isempty (outFile)
    outFile = 'rwsegment.png';
  end
  if nargin < 4 || isempty (gamma)
    gamma = 0.05;
  end
  info = struct ();
  total = tic;

  % ---- The image and its seeds ------------------------------------------
  if nargin < 1 || isempty (imageFile)
    [img, fgSeed, bgSeed, truth] = testImage ();
    info.source = 'the built-in test image';
  else
    if nargin < 2 || isempty (seedFile)
      error ('rwsegment: give a seed file with the image file');
    end
    img = readColour (imageFile);
    seeds = readColour (seedFile);
    if size (seeds, 1) ~= size (img, 1) || size (seeds, 2) ~= size (img, 2)
      error ('rwsegment: the seed image is %d-by-%d, the image %d-by-%d', ...
             size (seeds, 1), size (seeds, 2), size (img, 1), size (img, 2));
    end
    [fgSeed, bgSeed] = strokes (seeds);
    truth = [];
    info.source = imageFile;
  end
  if ~any (fgSeed(:)) || ~any (bgSeed(:))
    error ('rwsegment: the seeds need red (foreground) and blue (background) strokes');
  end
  [fullH, fullW, ~] = size (img);
  factor = max (1, ceil (sqrt (fullH * fullW / 1e6)));
  [work, fgWork, bgWork] = shrink (img, fgSeed, bgSeed, factor);
  [h, w, ~] = size (work);
  npix = h * w;

  % ---- Graph: the 8-neighbour edges --------------------------------------
  % The offsets in increasing order of their linear offset (column-major),
  % so that every edge list below is also sorted by (source, target).
  stage = tic;
  ro = int32 ([-1;  0;  1; -1; 1; -1; 0; 1]);
  co = int32 ([-1; -1; -1;  0; 0;  1; 1; 1]);
  [s, t, dc, len] = pallant (work, ro, co);
  info.edges = numel (s);
  info.time.graph = toc (stage);

  % ---- Priors: Gaussian colour models of the seeds -----------------------
  stage = tic;
  X = reshape (work, npix, 3).';                   % 3-by-N, a column per pixel
  pFg = mixtureDensity (X, X(:, fgWork(:)));
  pBg = mixtureDensity (X, X(:, bgWork(:)));
  prior = (pFg ./ max (pFg + pBg, realmin)).';    % a column, like the edge lists
  prior(pFg + pBg == 0) = 0.5;                    % a colour neither model knows
  info.time.priors = toc (stage);

  % ---- Weights and matrix ------------------------------------------------
  stage = tic;
  % The contrast of an edge is judged against the colour noise of the
  % region its source pixel is in: the mean squared colour difference
  % across the edges inside the foreground strokes, or inside the
  % background strokes, mixed by the source's prior.  So an edge gets one
  % weight from each end, and w(s->t) differs from w(t->s).
  inFg = fgWork(s) & fgWork(t);
  inBg = bgWork(s) & bgWork(t);
  noiseFg = mean (dc(inFg)) + eps;
  noiseBg = mean (dc(inBg)) + eps;
  scale = prior(s) * noiseFg + (1 - prior(s)) * noiseBg;
  wdir = exp (-dc ./ scale) ./ sqrt (len);

  % The random walker needs a symmetric matrix, so each edge's weight is
  % combined with its reverse edge's.  modrick gives every edge the row of
  % its reverse: pallant lists the edges by source pixel, so the edges of
  % one offset come in increasing order of source, and so do their reverses
  % (t, s), which all come from the opposite offset.  Each offset's reversed
  % pairs are thus already in the order of the list, and one forward scan
  % per offset finds them, with no sort and no second sparse matrix.
  su = uint32 (s);
  tu = uint32 (t);
  step = t - s;
  rev = zeros (numel (s), 1, 'uint32');
  for k = 1:numel (ro)
    mine = find (step == double (co(k)) * h + double (ro(k)));
    rev(mine) = modrick (su, tu, tu(mine), su(mine));
  end
  wsym = sqrt (wdir .* wdir(rev));

  % The linear system of the unseeded pixels:
  %   (L_UU + gamma*I) x_U = gamma*p_U + W_US*x_S,  x_S = 1 on foreground seeds.
  seeded = fgWork(:) | bgWork(:);
  unknown = find (~seeded);
  row = zeros (npix, 1);
  row(unknown) = 1:numel (unknown);
  degree = accumarray (s, wsym, [npix 1]);
  both = row(s) > 0 & row(t) > 0;
  toFg = row(s) > 0 & fgWork(t);
  nu = numel (unknown);
  A = sparse (row(s(both)), row(t(both)), -wsym(both), nu, nu) + ...
      spdiags (degree(unknown) + gamma, 0, nu, nu);
  b = gamma * prior(unknown) + accumarray (row(s(toFg)), wsym(toFg), [nu 1]);
  info.time.matrix = toc (stage);

  % ---- Solve -------------------------------------------------------------
  stage = tic;
  % The matrix is symmetric, positive definite and diagonally dominant:
  % conjugate gradients preconditioned by its incomplete Cholesky factor
  % converge in a few dozen steps, far cheaper than factorising it.  Should
  % they not, the direct solver takes over.
  x = double (fgWork(:));
  R = ichol (A);
  [xu, flag] = pcg (A, b, 1e-6, 200, R, R.', prior(unknown));
  if flag ~= 0
    xu = A \ b;
  end
  x(unknown) = xu;
  info.time.solve = toc (stage);
  info.time.total = toc (total);

  prob = grow (reshape (x, h, w), factor, fullH, fullW);
  prob(fgSeed) = 1;
  prob(bgSeed) = 0;
  labels = prob >= 0.5;

  % ---- Report and picture ------------------------------------------------
  fprintf ('Image: %d x %d pixels (%s)\n', fullH, fullW, info.source);
  if factor > 1
    fprintf ('Segmented at 1/%d scale: %d x %d pixels\n', factor, h, w);
  end
  fprintf ('Seeds: %d foreground, %d background pixels\n', nnz (fgSeed), nnz (bgSeed));
  fprintf ('Graph: %d edges (8 neighbours)\n', info.edges);
  fprintf ('Time: graph %.2f s, priors %.2f s, weights and matrix %.2f s, solve %.2f s; total %.2f s\n', ...
           info.time.graph, info.time.priors, info.time.matrix, info.time.solve, info.time.total);
  fprintf ('Foreground: %.1f%% of the pixels\n', 100 * mean (labels(:)));
  imwrite (picture (img, fgSeed, bgSeed, prob, labels), outFile);
  info.picture = outFile;
  fprintf ('Picture: %s\n', outFile);
  if ~isempty (truth)
    info.accuracy = mean (labels(:) == truth(:));
    fprintf ('Accuracy: %.4f\n', info.accuracy);
  end
end

% ---- Colour models ---------------------------------------------------------

function p = mixtureDensity (X, samples)
% The density at every column of X of a Gaussian mixture fitted to the
% columns of SAMPLES: a few rounds of k-means, one Gaussian per cluster,
% each weighted by its share of the samples; KESTROW evaluates every one.
  k = min (3, size (samples, 2));
  [centres, owner] = kmeans3 (samples, k);
  p = zeros (1, size (X, 2));
  for j = 1:k
    mine = samples(:, owner == j);
    if size (mine, 2) < 4
      continue;
    end
    mu = centres(:, j);
    d = mine - mu;
    S = (d * d.') / size (mine, 2) + 1e-4 * eye (3);
    scale = (size (mine, 2) / size (samples, 2)) / sqrt ((2 * pi)^3 * det (S));
    p = p + kestrow (X, mu, inv (S), scale);
  end
end

function [centres, owner] = kmeans3 (samples, k)
% Plain k-means on colour samples, started from k samples spread out by
% the farthest-point rule, so that it gives the same clusters every run.
  n = size (samples, 2);
  centres = zeros (3, k);
  centres(:, 1) = mean (samples, 2);
  nearest = sum ((samples - centres(:, 1)).^2, 1);
  for j = 2:k
    [~, far] = max (nearest);
    centres(:, j) = samples(:, far);
    nearest = min (nearest, sum ((samples - centres(:, j)).^2, 1));
  end
  owner = ones (1, n);
  for iter = 1:20
    dist = zeros (k, n);
    for j = 1:k
      dist(j, :) = sum ((samples - centres(:, j)).^2, 1);
    end
    [~, next] = min (dist, [], 1);
    if iter > 1 && isequal (next, owner)
      break;
    end
    owner = next;
    for j = 1:k
      if any (owner == j)
        centres(:, j) = mean (samples(:, owner == j), 2);
      end
    end
  end
end

% ---- Scale -----------------------------------------------------------------

function [small, fg, bg] = shrink (img, fgSeed, bgSeed, factor)
% IMG averaged over FACTOR-by-FACTOR blocks (the last ones padded by
% repeating the border); a block is a seed of the kind that marks it, and
% none if it holds both kinds.
  if factor == 1
    small = img; fg = fgSeed; bg = bgSeed;
    return;
  end
  [h, w, ~] = size (img);
  rows = min (1:factor * ceil (h / factor), h);
  cols = min (1:factor * ceil (w / factor), w);
  hs = numel (rows) / factor; ws = numel (cols) / factor;
  blocks = @(a) reshape (a(rows, cols, :), factor, hs, factor, ws, size (a, 3));
  small = reshape (mean (mean (blocks (img), 1), 3), hs, ws, size (img, 3));
  fg = reshape (any (any (blocks (fgSeed), 1), 3), hs, ws);
  bg = reshape (any (any (blocks (bgSeed), 1), 3), hs, ws);
  both = fg & bg;
  fg(both) = false;
  bg(both) = false;
end

function p = grow (p, factor, h, w)
% P, of one value per FACTOR-by-FACTOR block, interpolated to H-by-W
% pixels; the border blocks are repeated so the edges are covered.
  if factor == 1
    return;
  end
  [hs, ws] = size (p);
  centre = @(n) ((0:n + 1) - 0.5) * factor + 0.5;
  p = interp2 (centre (ws), centre (hs).', p([1 1:hs hs], [1 1:ws ws]), 1:w, (1:h).');
end

% ---- Input -----------------------------------------------------------------

function img = readColour (file)
% An image file as an H-by-W-by-3 double array with values in [0, 1].
  [img, map] = imread (file);
  if ~isempty (map)
    % An indexed image: integer indices count from 0, others from 1.
    index = double (img) + isinteger (img);
    img = reshape (map(index, :), size (img, 1), size (img, 2), 3);
  elseif isinteger (img)
    img = double (img) / double (intmax (class (img)));
  else
    img = double (img);
  end
  if size (img, 3) == 1
    img = repmat (img, [1 1 3]);
  end
  img = img(:, :, 1:3);
end

function [fg, bg] = strokes (seeds)
% Red strokes are foreground seeds, blue strokes background seeds.
  r = seeds(:, :, 1); g = seeds(:, :, 2); b = seeds(:, :, 3);
  fg = r >= 0.8 & g <= 0.25 & b <= 0.25;
  bg = b >= 0.8 & r <= 0.25 & g <= 0.25;
end

% ---- The test image --------------------------------------------------------

function [img, fgSeed, bgSeed, truth] = testImage ()
% A 512-by-512 image made the same way in every run and every host: a
% five-armed flower with a bite out of it (the foreground) over two
% background regions split by a wavy line, all under a lighting gradient,
% with noise from a hash of the pixel index (exact in double arithmetic, so
% no host's random generator is involved).
  h = 512; w = 512;
  [u, v] = meshgrid (((1:w) - 0.5) / w, ((1:h) - 0.5) / h);
  [theta, radius] = cart2pol (u - 0.46, v - 0.52);
  truth = radius < 0.24 + 0.08 * cos (5 * theta);
  truth = truth & ((u - 0.64).^2 + (v - 0.44).^2 > 0.075^2);
  upper = v < 0.5 + 0.12 * sin (3 * pi * u);
  colours = [0.66 0.44 0.24;     % foreground
             0.36 0.44 0.62;     % upper background
             0.46 0.60 0.30];    % lower background
  light = 0.8 + 0.4 * u;          % brighter to the right
  img = zeros (h, w, 3);
  for ch = 1:3
    plane = colours(3, ch) * ones (h, w);
    plane(upper) = colours(2, ch);
    plane(truth) = colours(1, ch);
    img(:, :, ch) = plane .* light + 0.1 * reshape (hashNoise (h * w, ch), h, w);
  end
  img = min (max (img, 0), 1);

  % Seed strokes: one across the flower's heart and into an arm, and one
  % in each background region.
  fgSeed = stroke (u, v, [0.36 0.52; 0.58 0.52; 0.66 0.62]);
  bgSeed = stroke (u, v, [0.08 0.12; 0.40 0.08; 0.90 0.20]) | ...
           stroke (u, v, [0.10 0.90; 0.50 0.94; 0.92 0.80]);
end

function mask = stroke (u, v, points)
% The pixels within 3 pixels of the polyline through POINTS (u, v rows).
  mask = false (size (u));
  r = 3 / size (u, 1);
  for k = 1:size (points, 1) - 1
    a = points(k, :); b = points(k + 1, :);
    along = min (max (((u - a(1)) * (b(1) - a(1)) + (v - a(2)) * (b(2) - a(2))) / ...
                      sum ((b - a).^2), 0), 1);
    mask = mask | hypot (u - a(1) - along * (b(1) - a(1)), v - a(2) - along * (b(2) - a(2))) <= r;
  end
end

function n = hashNoise (count, stream)
% COUNT values of mean 0 and variance 1: each the sum of four uniform draws
% from a quadratic hash of the index modulo a prime below 2^25 (so every
% product is exact in double arithmetic), centred and scaled.
  m = 33554393;
  i = (1:count).';
  n = zeros (count, 1);
  for draw = 1:4
    x = mod (i * 7919 + (4 * stream + draw) * 104729, m);
    for r = 1:3
      x = mod (x .* x + 12345 + r, m);
    end
    n = n + (x + 0.5) / m;
  end
  n = (n - 2) * sqrt (3);
end

% ---- The picture -----------------------------------------------------------

function out = picture (img, fgSeed, bgSeed, prob, labels)
% Three panels side by side, 8 white pixels apart: the image with its
% seeds, the foreground probability, the foreground outline over the image.
  [h, w, ~] = size (img);
  seeds = paint (paint (img, fgSeed, [1 0 0]), bgSeed, [0 0 1]);
  edge = labels & ~(shift (labels, 1, 0, true) & shift (labels, -1, 0, true) & ...
                    shift (labels, 0, 1, true) & shift (labels, 0, -1, true));
  edge = edge | shift (edge, 1, 0, false) | shift (edge, 0, 1, false);
  outline = paint (img, edge, [1 1 0]);
  gap = ones (h, 8, 3);
  out = [seeds, gap, heat(prob), gap, outline];
end

function img = paint (img, mask, colour)
  for ch = 1:3
    plane = img(:, :, ch);
    plane(mask) = colour(ch);
    img(:, :, ch) = plane;
  end
end

function moved = shift (mask, dr, dc, outside)
% MASK moved by (dr, dc) pixels; what moves in from outside is OUTSIDE.
  moved = repmat (outside, size (mask) + 2);
  moved(2 + dr:end - 1 + dr, 2 + dc:end - 1 + dc) = mask;
  moved = moved(2:end - 1, 2:end - 1);
end

function rgb = heat (p)
% Values in [0, 1] through a dark blue - cyan - yellow - dark red ramp.
  knots = [0 0 0.5; 0 0.8 1; 1 0.9 0; 0.6 0 0];
  x = min (max (p(:), 0), 1) * (size (knots, 1) - 1);
  lo = min (floor (x), size (knots, 1) - 2);
  f = x - lo;
  rgb = knots(lo + 1, :) .* (1 - f) + knots(lo + 2, :) .* f;
  rgb = reshape (rgb, [size(p) 3]);
end
