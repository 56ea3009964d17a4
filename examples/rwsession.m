function varargout = rwsession (action, varargin)
%RWSESSION  The segmentation behind RWSEGMENT, one stroke at a time.
%   S = RWSESSION ('open', IMG, GAMMA) builds everything that does not
%   depend on the seeds, once: the 8-neighbour edges of the H-by-W-by-3
%   image IMG (values in [0, 1]) with their colour differences (PALLANT),
%   every edge's reverse edge (MODRICK), the colours as a 3-by-N matrix.
%   GAMMA is the weight of the colour prior.  An image of more than a
%   million pixels is worked on at a reduced scale.
%   S = RWSESSION ('open', IMG, GAMMA, true) also runs one throw-away
%   update, so that the first update after a stroke is as quick as the
%   others.
%
%   S = RWSESSION ('stroke', S, KIND, XY) adds a stroke and updates the
%   segmentation.  KIND is 'fg' or 'bg'; XY is an N-by-2 list of (x, y)
%   points in image pixels (x the column, y the row, pixel centres at whole
%   numbers), joined into a polyline; the stroke marks every pixel within
%   S.radius pixels of it, taking those pixels from the other kind.
%   S = RWSESSION ('stroke', S, KIND, XY, RADIUS) sets the brush radius.
%
%   S = RWSESSION ('undo', S) takes back the last stroke and restores the
%   state before it.
%
%   S = RWSESSION ('seeds', S, FG, BG) replaces the seeds by the H-by-W
%   masks FG and BG (and forgets the strokes) and updates.
%
%   [FG, BG] = RWSESSION ('paint', STROKES, H, W) gives the H-by-W seed
%   masks of the strokes in the struct array STROKES (fields kind, xy and
%   radius), painted in order, a later stroke taking its pixels from the
%   other kind.
%
%   [IMG, STROKES, TRUTH] = RWSESSION ('testimage') gives RWSEGMENT's
%   built-in 512-by-512 test image, its strokes (a struct array with fields
%   kind, xy and radius) and the regions it was made of.
%
%   After an update, S.prob is the foreground probability of every pixel,
%   S.labels the mask (prob >= 0.5), S.ready whether both kinds of seed
%   exist (until then the mask is the foreground seeds), and S.time the
%   time of the update's stages and of the whole update.  An update solves
%   starting from the previous solution.
%
%   See also RWSEGMENT.

  switch action
    case 'open'
      varargout{1} = openSession (varargin{:});
    case 'stroke'
      varargout{1} = addStroke (varargin{:});
    case 'undo'
      varargout{1} = undoStroke (varargin{1});
    case 'seeds'
      S = varargin{1};
      S.history = {};
      S.strokes = struct ('kind', {}, 'xy', {}, 'radius', {});
      S.fg = logical (varargin{2});
      S.bg = logical (varargin{3}) & ~S.fg;
      varargout{1} = update (S, 1e-6);
    case 'paint'
      [varargout{1}, varargout{2}] = paintStrokes (varargin{:});
    case 'testimage'
      [varargout{1:nargout}] = testImage ();
    otherwise
      error ('rwsession: unknown action ''%s''', action);
  end
end

% ---- The parts that do not depend on the seeds ---------------------------

function S = openSession (img, gamma, warm)
  S = struct ();
  S.gamma = gamma;
  S.radius = 3;
  [S.fullH, S.fullW, ~] = size (img);
  S.factor = max (1, ceil (sqrt (S.fullH * S.fullW / 1e6)));
  S.work = shrinkImage (img, S.factor);
  [h, w, ~] = size (S.work);
  S.h = h; S.w = w;
  npix = h * w;

  % The 8-neighbour edges, the offsets in increasing order of their linear
  % offset (column-major), so that every edge list below is also sorted by
  % (source, target).
  stage = tic;
  ro = int32 ([-1;  0;  1; -1; 1; -1; 0; 1]);
  co = int32 ([-1; -1; -1;  0; 0;  1; 1; 1]);
  [s, t, dc, len] = pallant (S.work, ro, co);
  S.edges = numel (s);

  % An edge's weight depends on the region its source pixel is likely in,
  % so w(s->t) differs from w(t->s); the random walker needs the two
  % combined.  modrick gives every edge the row of its reverse: pallant
  % lists the edges by source pixel, so the edges of one offset come in
  % increasing order of source, and so do their reverses (t, s), which all
  % come from the opposite offset.  Each offset's reversed pairs are thus
  % already in the order of the list, and one forward scan per offset
  % finds them.
  su = uint32 (s);
  tu = uint32 (t);
  step = t - s;
  rev = zeros (numel (s), 1, 'uint32');
  for k = 1:numel (ro)
    mine = find (step == double (co(k)) * h + double (ro(k)));
    rev(mine) = modrick (su, tu, tu(mine), su(mine));
  end

  % Each pair of edges once, as the edge from the lower to the higher
  % pixel index (an entry below the matrix's diagonal), beside the values
  % of its reverse edge.
  half = find (t > s);
  back = rev(half);
  S.sh = s(half); S.th = t(half);
  S.dcF = dc(half); S.dcB = dc(back);
  S.rootF = sqrt (len(half)); S.rootB = sqrt (len(back));

  % Every pixel's pairs: the pair and the neighbour in each of the eight
  % directions (the four where it is the lower index, then the four where
  % it is the higher), npix + 1 and the pair count + 1 where there is none.
  pairs = numel (half);
  dr = mod (S.th - 1, h) - mod (S.sh - 1, h);
  dk = floor ((S.th - 1) / h) - floor ((S.sh - 1) / h);
  slot = 1 * (dr == 1 & dk == 0) + 2 * (dr == -1 & dk == 1) + 3 * (dr == 0 & dk == 1) + ...
         4 * (dr == 1 & dk == 1);
  S.pairOf = repmat (pairs + 1, npix, 8);
  S.pairOf(S.sh + (slot - 1) * npix) = 1:pairs;
  S.pairOf(S.th + (slot + 3) * npix) = 1:pairs;
  S.neighbour = repmat (npix + 1, npix, 8);
  S.neighbour(S.sh + (slot - 1) * npix) = S.th;
  S.neighbour(S.th + (slot + 3) * npix) = S.sh;

  % The lower triangle of the matrix, diagonal included, is assembled from
  % these entries in this order (by column, then row) on every update.
  rows = [S.th; (1:npix).'];
  cols = [S.sh; (1:npix).'];
  [~, S.order] = sort (cols * npix + rows);
  S.rows = rows(S.order); S.cols = cols(S.order);
  S.X = reshape (S.work, npix, 3).';              % 3-by-N, a column per pixel
  S.time.graph = toc (stage);

  S.strokes = struct ('kind', {}, 'xy', {}, 'radius', {});
  S.history = {};
  S.fg = false (S.fullH, S.fullW);
  S.bg = false (S.fullH, S.fullW);
  S.x = [];
  S.models = struct ('fg', {[]}, 'bg', {[]});
  if nargin >= 3 && warm
    % One update with a seed of each kind in two corners, thrown away: the
    % first update after a stroke then finds the index lists of this
    % session already checked and its memory already mapped.
    corners = false (S.fullH, S.fullW);
    corners(1) = true;
    S.fg = corners;
    S.bg = rot90 (corners, 2);
    update (S, 1e-3);
    S.fg = false (S.fullH, S.fullW);
    S.bg = S.fg;
  end
  S = update (S, 1e-3);
end

% ---- Strokes ---------------------------------------------------------------

function S = addStroke (S, kind, xy, radius)
  if nargin < 4 || isempty (radius)
    radius = S.radius;
  end
  if ~any (strcmp (kind, {'fg', 'bg'}))
    error ('rwsession: a stroke is ''fg'' or ''bg'', not ''%s''', kind);
  end
  % What undo restores: the seeds and the solution before this stroke.
  S.history{end + 1} = struct ('fg', S.fg, 'bg', S.bg, 'x', S.x, 'prob', S.prob, ...
                               'labels', S.labels, 'ready', S.ready, 'time', S.time);
  S.strokes(end + 1) = struct ('kind', kind, 'xy', double (xy), 'radius', radius);
  [fg, bg] = paintStrokes (S.strokes(end), S.fullH, S.fullW);
  S.fg = (S.fg & ~bg) | fg;
  S.bg = (S.bg & ~fg) | bg;
  S = update (S, 1e-3);
end

function [fg, bg] = paintStrokes (strokes, h, w)
  fg = false (h, w);
  bg = false (h, w);
  for k = 1:numel (strokes)
    [mask, rows, cols] = brush (strokes(k).xy, strokes(k).radius, h, w);
    if strcmp (strokes(k).kind, 'fg')
      fg(rows, cols) = fg(rows, cols) | mask;
      bg(rows, cols) = bg(rows, cols) & ~mask;
    else
      bg(rows, cols) = bg(rows, cols) | mask;
      fg(rows, cols) = fg(rows, cols) & ~mask;
    end
  end
end

function S = undoStroke (S)
  if isempty (S.strokes)
    return;
  end
  before = S.history{end};
  S.history(end) = [];
  S.strokes(end) = [];
  for f = {'fg', 'bg', 'x', 'prob', 'labels', 'ready', 'time'}
    S.(f{1}) = before.(f{1});
  end
end

function [mask, rows, cols] = brush (xy, radius, h, w)
% The pixels within RADIUS of the polyline through the (x, y) rows of XY,
% as a mask over the rows ROWS and columns COLS of the image.
  xy = double (xy);
  cols = max (1, floor (min (xy(:, 1)) - radius)):min (w, ceil (max (xy(:, 1)) + radius));
  rows = max (1, floor (min (xy(:, 2)) - radius)):min (h, ceil (max (xy(:, 2)) + radius));
  [x, y] = meshgrid (cols, rows);
  mask = false (size (x));
  if size (xy, 1) == 1
    xy = [xy; xy];
  end
  for k = 1:size (xy, 1) - 1
    a = xy(k, :); d = xy(k + 1, :) - a;
    span = sum (d.^2);
    if span > 0
      along = min (max (((x - a(1)) * d(1) + (y - a(2)) * d(2)) / span, 0), 1);
    else
      along = zeros (size (x));
    end
    mask = mask | hypot (x - a(1) - along * d(1), y - a(2) - along * d(2)) <= radius;
  end
end

% ---- The update ------------------------------------------------------------

function S = update (S, tol)
% The segmentation for the current seeds, the solver stopping at the
% relative residual TOL.
  total = tic;
  [fg, bg] = shrinkSeeds (S.fg, S.bg, S.factor);
  S.ready = any (fg(:)) && any (bg(:));
  S.time.priors = 0; S.time.matrix = 0; S.time.solve = 0;
  if ~S.ready
    % One kind of seed alone decides nothing yet: the mask is the seeds.
    S.x = [];
    S.prob = double (S.fg);
    S.labels = S.fg;
    S.time.update = toc (total);
    return;
  end
  npix = S.h * S.w;

  % Priors: Gaussian colour models of the seeds, each refitted only when
  % its seeds have changed.
  stage = tic;
  S.models.fg = colourModel (S.models.fg, S.X, fg);
  S.models.bg = colourModel (S.models.bg, S.X, bg);
  pFg = S.models.fg.density; pBg = S.models.bg.density;
  prior = (pFg ./ max (pFg + pBg, realmin)).';    % a column, like the edge lists
  prior(pFg + pBg == 0) = 0.5;                    % a colour neither model knows
  S.time.priors = toc (stage);

  % Weights and matrix.  The contrast of an edge is judged against the
  % colour noise of the region its source pixel is in: the mean squared
  % colour difference across the edges inside the foreground strokes, or
  % inside the background strokes, mixed by the source's prior.  Each
  % edge's weight is combined with its reverse edge's.
  stage = tic;
  [noiseFg, fgPairs, fgNeighbours] = seedNoise (S, fg);
  noiseBg = seedNoise (S, bg);
  noise = prior * noiseFg + (1 - prior) * noiseBg;
  wsym = sqrt ((exp (-S.dcF ./ noise(S.sh)) ./ S.rootF) .* ...
               (exp (-S.dcB ./ noise(S.th)) ./ S.rootB));

  % The linear system over every pixel, the seeded ones fixed by rows of
  % the identity: with x = xs + y, xs = 1 on the foreground seeds and y = 0
  % on every seed,
  %   (L_UU + gamma*I) y_U = gamma*p_U + W_US*xs_S.
  % Every entry keeps its place from update to update (those touching a
  % seed are 0), so the lower triangle comes already sorted.
  free = double (~(fg(:) | bg(:)));
  weight = [wsym; 0];
  diagonal = (sum (weight(S.pairOf), 2) + S.gamma) .* free + (1 - free);
  values = [-wsym .* free(S.sh) .* free(S.th); diagonal];
  lower = sparse (S.rows, S.cols, values(S.order), npix, npix);
  upper = lower.';
  toFg = accumarray (fgNeighbours(:), weight(fgPairs(:)), [npix + 1, 1]);
  b = (S.gamma * prior + toFg(1:npix)) .* free;
  S.time.matrix = toc (stage);

  % Solve: the matrix is symmetric, positive definite and diagonally
  % dominant, so conjugate gradients preconditioned by its modified
  % incomplete Cholesky factor converge in a few steps, fewer from the
  % previous solution; should they not, the direct solver takes over.
  stage = tic;
  if isempty (S.x)
    y = prior;
  else
    y = S.x(:);
  end
  y = y .* free;
  R = ichol (lower, struct ('michol', 'on'));
  [y, ok] = conjugateGradients (upper, lower, diagonal, b, tol, 200, R, y);
  if ~ok
    y = (lower + upper - spdiags (diagonal, 0, npix, npix)) \ b;
  end
  x = reshape (y + fg(:), S.h, S.w);
  S.time.solve = toc (stage);
  S.x = x;

  prob = growProb (x, S.factor, S.fullH, S.fullW);
  prob(S.fg) = 1;
  prob(S.bg) = 0;
  S.prob = prob;
  S.labels = prob >= 0.5;
  S.time.update = toc (total);
end

function [noise, pairs, neighbours] = seedNoise (S, seeds)
% The mean squared colour difference across the pairs inside SEEDS (each
% seen from both ends), and the pairs and neighbours of the seeds.
  at = find (seeds(:));
  pairs = S.pairOf(at, :);
  neighbours = S.neighbour(at, :);
  inside = [seeds(:); false];
  inside = inside(neighbours);
  dc = S.dcF(pairs(inside));
  noise = sum (dc) / max (numel (dc), 1) + eps;
end

function [x, ok] = conjugateGradients (upper, lower, diagonal, b, tol, maxit, R, x)
% Preconditioned conjugate gradients for A*x = b, A = lower + upper -
% diag(diagonal) given by its two triangles (upper = lower.'), each
% multiplied in its transposed form, which for a sparse matrix stored by
% column is the fast one; the preconditioner is R*R.'.
  Rt = R.';
  limit = tol * norm (b);
  r = b - times (upper, lower, diagonal, x);
  ok = norm (r) <= limit;
  if ok
    return;
  end
  z = Rt \ (R \ r);
  p = z;
  rz = r.' * z;
  for it = 1:maxit
    q = times (upper, lower, diagonal, p);
    alpha = rz / (p.' * q);
    x = x + alpha * p;
    r = r - alpha * q;
    if norm (r) <= limit
      ok = true;
      return;
    end
    z = Rt \ (R \ r);
    rzNext = r.' * z;
    p = z + (rzNext / rz) * p;
    rz = rzNext;
  end
end

function q = times (upper, lower, diagonal, v)
% A*v, written out so that each product is taken as transpose-times.
  q = upper.' * v + lower.' * v - diagonal .* v;
end

% ---- Colour models ---------------------------------------------------------

function model = colourModel (model, X, seeds)
% The mixture density of the colours under SEEDS at every pixel, kept with
% the seeds it was fitted to and refitted only when they have changed.
  if isempty (model) || ~isequal (model.seeds, seeds)
    model = struct ('seeds', seeds, 'density', mixtureDensity (X, X(:, seeds(:))));
  end
end

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

function blocks = blockView (a, factor)
% A as FACTOR-by-HS-by-FACTOR-by-WS-by-D blocks, the last ones padded by
% repeating the border.
  [h, w, ~] = size (a);
  rows = min (1:factor * ceil (h / factor), h);
  cols = min (1:factor * ceil (w / factor), w);
  blocks = reshape (a(rows, cols, :), factor, numel (rows) / factor, ...
                    factor, numel (cols) / factor, size (a, 3));
end

function small = shrinkImage (img, factor)
% IMG averaged over FACTOR-by-FACTOR blocks.
  if factor == 1
    small = img;
    return;
  end
  b = blockView (img, factor);
  small = reshape (mean (mean (b, 1), 3), size (b, 2), size (b, 4), size (img, 3));
end

function [fg, bg] = shrinkSeeds (fg, bg, factor)
% A block is a seed of the kind that marks it, and none if it holds both.
  if factor == 1
    return;
  end
  f = blockView (fg, factor);
  fg = reshape (any (any (f, 1), 3), size (f, 2), size (f, 4));
  b = blockView (bg, factor);
  bg = reshape (any (any (b, 1), 3), size (b, 2), size (b, 4));
  both = fg & bg;
  fg(both) = false;
  bg(both) = false;
end

function p = growProb (p, factor, h, w)
% P, of one value per FACTOR-by-FACTOR block, interpolated to H-by-W
% pixels; the border blocks are repeated so the edges are covered.
  if factor == 1
    return;
  end
  [hs, ws] = size (p);
  centre = @(n) ((0:n + 1) - 0.5) * factor + 0.5;
  p = interp2 (centre (ws), centre (hs).', p([1 1:hs hs], [1 1:ws ws]), 1:w, (1:h).');
end

% ---- The test image --------------------------------------------------------

function [img, strokes, truth] = testImage ()
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

  % Strokes: one across the flower's heart and into an arm, and one in
  % each background region; (u, v) corners in [0, 1] turned into pixels.
  toPixels = @(uv) [uv(:, 1) * w + 0.5, uv(:, 2) * h + 0.5];
  strokes = struct ('kind', {'fg', 'bg', 'bg'}, ...
                    'xy', {toPixels([0.36 0.52; 0.58 0.52; 0.66 0.62]), ...
                           toPixels([0.08 0.12; 0.40 0.08; 0.90 0.20]), ...
                           toPixels([0.10 0.90; 0.50 0.94; 0.92 0.80])}, ...
                    'radius', 3);
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
