function varargout = rwsession (action, varargin)
%RWSESSION  The segmentation behind RWSEGMENT, one stroke at a time.
%   S = RWSESSION ('open', IMG, GAMMA) builds everything that does not
%   depend on the seeds, once, at the working scale: IMG (H-by-W-by-3,
%   doubles in [0, 1], or uint8 or uint16 over their whole range, which a
%   12-megapixel photograph holds in an eighth or a quarter of the memory)
%   averaged over FACTOR-by-FACTOR blocks, FACTOR at
%   least 2 and the smallest that leaves at most 2^18 working pixels (2 up
%   to 1024-by-1024, 7 for 12 megapixels); beside the colours, a fourth
%   channel, S.sharp: how sharp the image is around each block (the
%   colours' variance within the blocks of a 3-by-3 window, against its
%   median over the image, on a log scale), which tells an object in focus
%   from a blurred background of the same colours; there, the 8-neighbour
%   edges with their differences in those four channels (PALLANT, one
%   offset at a time), every edge's reverse edge (MODRICK), the features as
%   a 4-by-N matrix.  GAMMA
%   is the weight of the colour prior at a working size of 2^18 pixels; at
%   other sizes it is scaled by 2^18 over the pixel count, so that the
%   prior reaches as far across the picture whatever its resolution.
%   S = RWSESSION ('open', IMG, GAMMA, true) also runs one throw-away
%   update, so that the first update after a stroke is as quick as the
%   others.  S = RWSESSION ('open', IMG, GAMMA, WARM, FACTOR) sets FACTOR
%   (1: the whole image is solved at once, with no second pass).
%   Even a small image is worked at half its size: averaging 2-by-2 blocks
%   quells pixel noise, and the second pass puts the boundary back on the
%   image's own pixels; both together label more pixels right than one
%   solve at full size, and take less time.
%
%   S = RWSESSION ('stroke', S, KIND, XY) adds a stroke and updates the
%   segmentation at the working scale.  KIND is 'fg' or 'bg'; XY is an
%   N-by-2 list of (x, y) points in image pixels (x the column, y the row,
%   pixel centres at whole numbers), joined into a polyline; the stroke
%   marks every pixel within S.radius pixels of it, taking those pixels
%   from the other kind.
%   S = RWSESSION ('stroke', S, KIND, XY, RADIUS) sets the brush radius.
%
%   S = RWSESSION ('undo', S) takes back the last stroke and restores the
%   state before it.
%
%   S = RWSESSION ('seeds', S, FG, BG) replaces the seeds by the H-by-W
%   masks FG and BG (and forgets the strokes), solves at the working scale
%   and then, where the working scale is coarser than the image, once more
%   at full resolution in a strip around the boundary found there: the
%   answer of the batch form.
%
%   FACTOR = RWSESSION ('factor', H, W) is the working scale's FACTOR for
%   an H-by-W image, as 'open' chooses it; RWSESSION ('factor', H, W,
%   PIXELS) the one for at most PIXELS working pixels.
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
%   An update solves with Gaussian mixtures of the seeds' features as the
%   prior, then S.rounds times (default 2; after 'stroke',
%   S.strokeRounds, default 2, which the painting window sets to 0)
%   refits both mixtures to the answer (the blocks labelled foreground and
%   background, those on the boundary left out) and solves again, as
%   expectation-maximisation does: a colour the object holds that no
%   stroke covers is taken in.  Before each refit, every region of
%   foreground that no foreground seed touches is weighed: it is kept when
%   its features are about as typical of the foreground seeds' mixture as
%   the seeds' own (the median log density over the region at most
%   S.island, default 20, below the median over the seeds), as another part
%   of the same object is; otherwise it is dropped (its probability
%   mirrored below 0.5) and teaches neither model.  A foreground stroke on a
%   region keeps it; S.island = Inf keeps every region.  Below 4096
%   working pixels there is no refit and no sharpness: too few blocks.
%
%   After an update, S.x is the foreground probability at the working
%   scale (S.h-by-S.w, one value per S.factor-by-S.factor block), S.ready
%   whether both kinds of seed exist, and S.time the time of the update's
%   stages at the working scale (graph, priors, matrix, solve, islands,
%   learn), of the whole update there, and of the full-resolution pass
%   (full).  S.prob and S.labels (prob >= 0.5) are
%   the probability and the mask at the image's own size: after 'seeds'
%   always, after 'stroke' and 'undo' only where the working scale is the
%   image's (S.factor 1; else they are empty).  Until both kinds of seed
%   exist the mask is the foreground seeds.  An update solves starting from
%   the previous solution.
%
%   The full-resolution pass: the working-scale blocks within S.reach
%   blocks of a change of label (2 where sharpness is measured, which may
%   move the boundary a block; else 1), grouped into patches of at least
%   6-by-6 pixels, are the strip.
%   PALLANT lists the edges of mosaics of those patches, each patch with a
%   one-pixel rim, at most 2^18 pixels at a time, so the edges of the whole
%   image are never listed at once.  The strip's pixels are solved again
%   with colour priors fitted to the answer's own pixels (the centre pixel
%   of every block away from the boundary, on each side) and the same kind
%   of weights, the seeds fixed and the pixels around the strip fixed to
%   the label the working scale gave them.
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
      S = update (S, 1e-3);
      if S.ready && S.factor > 1
        S = refine (S, 1e-2);              % labels are all it must decide
      end
      varargout{1} = S;
    case 'paint'
      [varargout{1}, varargout{2}] = paintStrokes (varargin{:});
    case 'factor'
      varargout{1} = workingFactor (varargin{:});
    case 'testimage'
      [varargout{1:nargout}] = testImage ();
    otherwise
      error ('rwsession: unknown action ''%s''', action);
  end
end

% ---- The parts that do not depend on the seeds ---------------------------

function S = openSession (img, gamma, warm, factor)
  S = struct ();
  S.gamma = gamma;
  S.radius = 3;
  S.island = 20;                                  % see ISLANDS
  S.rounds = 2;                                   % of learning from the answer
  S.strokeRounds = 2;                             % the same after a stroke
  [S.fullH, S.fullW, ~] = size (img);
  if nargin < 4 || isempty (factor)
    factor = workingFactor (S.fullH, S.fullW);
  end
  S.factor = factor;
  S.img = img;                                    % for the full-resolution pass
  S.top = 1;                                      % IMG's value for 1
  if isinteger (img)
    S.top = double (intmax (class (img)));
  end
  [S.work, detail] = shrinkImage (img, S.factor, S.top);
  [h, w, ~] = size (S.work);
  S.h = h; S.w = w;
  S.weight = gamma * 2^18 / (h * w);              % the prior's weight here

  stage = tic;
  % A fourth channel beside the colours: how sharp the image is around each
  % pixel, so that an object in focus stands out from a blurred background
  % of the same colours, to the priors and to the edges alike.
  S.sharp = sharpness (S.work, detail);
  % The strip's blocks each side of the working scale's boundary: two where
  % sharpness is measured, since a block across an outline is sharp and may
  % take the boundary a block off.
  S.reach = 1 + any (S.sharp(:));
  features = cat (3, S.work, S.sharp);
  S.graph = walkGraph (offsetGraph (features), h * w);
  S.edges = 2 * numel (S.graph.s);                % as PALLANT lists them
  S.strip = 0;                                    % the full-resolution pass's
  S.stripEdges = 0;
  S.X = reshape (features, h * w, 4).';           % 4-by-N, a column per pixel
  S.time.graph = toc (stage);

  S.strokes = struct ('kind', {}, 'xy', {}, 'radius', {});
  S.history = {};
  S.fg = false (S.fullH, S.fullW);
  S.bg = false (S.fullH, S.fullW);
  S.x = [];
  S.models = struct ('fg', {[]}, 'bg', {[]});
  S.parts = struct ('fg', {[]}, 'bg', {[]});
  if nargin >= 3 && ~isempty (warm) && warm
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

function factor = workingFactor (h, w, pixels)
% The working scale of an H-by-W image: at least 2, and at most PIXELS
% (default 2^18) working pixels.
  if nargin < 3
    pixels = 2^18;
  end
  factor = max (2, ceil (sqrt (h * w / pixels)));
end

function E = offsetGraph (img)
% The 8-neighbour edges of IMG, each pair of neighbours once, as the edge
% from the lower to the higher pixel index (E.s, E.t), with the squared
% colour difference and the root of the squared length of the edge (dcF,
% rootF) and of its reverse edge (dcB, rootB).  PALLANT lists one offset
% at a time, so each list comes by source pixel; the reverses (t, s) of
% one offset's edges all come from the opposite offset, in the same order,
% so one forward scan of MODRICK per offset finds them.
  ro = int32 ([1; -1; 0; 1]);                     % the offsets that raise the
  co = int32 ([0; 1; 1; 1]);                      % column-major index
  parts = cell (4, 6);
  for k = 1:4
    [s, t, dc, len] = pallant (img, ro(k), co(k));
    [sr, tr, dcr, lenr] = pallant (img, -ro(k), -co(k));
    rev = modrick (uint32 (sr), uint32 (tr), uint32 (t), uint32 (s));
    parts(k, :) = {s, t, dc, dcr(rev), sqrt(len), sqrt(lenr(rev))};
  end
  E = cell2struct (cellfun (@(c) vertcat (c{:}), num2cell (parts, 1), 'UniformOutput', false), ...
                   {'s', 't', 'dcF', 'dcB', 'rootF', 'rootB'}, 2);
end

function t = sharpness (work, detail)
% How sharp the image is around each working pixel: the root mean square
% of the colour's variation within the blocks of a 3-by-3 window (DETAIL,
% each block's variance on the image's own pixels), in units of its median
% over the image, so that the image's own contrast sets the scale, on a
% log scale: 0 where the image is flat or blurred, about 0.2 at its
% typical sharpness, growing slowly beyond.  A block's variance holds no
% edge of its neighbours, so the measure spills across an object's outline
% by a block at most.  Worked at full scale (no blocks), or on fewer than
% 4096 working pixels (where the window is a large share of the image), it
% is 0.
  [h, w, ~] = size (work);
  if isempty (detail) || h * w < 4096
    t = zeros (h, w);
    return;
  end
  box = ones (3, 1);
  e = sqrt (max (conv2 (box, box, detail, 'same') ./ conv2 (box, box, ones (h, w), 'same'), 0));
  % (At least a 255th: variation below an 8-bit level, rounding's or a
  % flat image's, counts as none.)
  typical = max (median (e(:)), 1 / 255);
  t = 0.3 * log1p (e / typical);
end

function G = walkGraph (E, n)
% The graph of the linear system over N nodes: the edges E (a lower and a
% higher node each) and the order in which the lower triangle of the
% matrix, diagonal included, is assembled from [edges; nodes] on every
% solve (by column, then row).
  G = E;
  G.n = n;
  rows = [max(E.s, E.t); (1:n).'];
  cols = [min(E.s, E.t); (1:n).'];
  [~, G.order] = sort (cols * n + rows);
  G.rows = rows(G.order);
  G.cols = cols(G.order);
end

% ---- Strokes ---------------------------------------------------------------

function S = addStroke (S, kind, xy, radius)
  if nargin < 4 || isempty (radius)
    radius = S.radius;
  end
  if ~any (strcmp (kind, {'fg', 'bg'}))
    error ('rwsession: a stroke is ''fg'' or ''bg'', not ''%s''', kind);
  end
  at = brush (xy, radius, S.fullH, S.fullW);
  % What undo restores: the seeds the stroke covers and the solution before.
  S.history{end + 1} = struct ('at', at, 'fg', S.fg(at), 'bg', S.bg(at), 'x', S.x, ...
                               'prob', S.prob, 'labels', S.labels, 'ready', S.ready, ...
                               'time', S.time);
  S.strokes(end + 1) = struct ('kind', kind, 'xy', double (xy), 'radius', radius);
  S.fg(at) = strcmp (kind, 'fg');
  S.bg(at) = strcmp (kind, 'bg');
  S = update (S, 1e-3, S.strokeRounds);
end

function [fg, bg] = paintStrokes (strokes, h, w)
  fg = false (h, w);
  bg = false (h, w);
  for k = 1:numel (strokes)
    at = brush (strokes(k).xy, strokes(k).radius, h, w);
    fg(at) = strcmp (strokes(k).kind, 'fg');
    bg(at) = ~fg(at);
  end
end

function S = undoStroke (S)
  if isempty (S.strokes)
    return;
  end
  before = S.history{end};
  S.history(end) = [];
  S.strokes(end) = [];
  S.fg(before.at) = before.fg;
  S.bg(before.at) = before.bg;
  for f = {'x', 'prob', 'labels', 'ready', 'time'}
    S.(f{1}) = before.(f{1});
  end
end

function at = brush (xy, radius, h, w)
% The linear indices of the pixels within RADIUS of the polyline through
% the (x, y) rows of XY.  Each segment is cut into pieces at most four
% radii long (their union is the same set), so that only pixels near the
% stroke are looked at, however long it is.
  xy = double (xy);
  if size (xy, 1) == 1
    xy = [xy; xy];
  end
  a = zeros (0, 2);
  b = zeros (0, 2);
  for k = 1:size (xy, 1) - 1
    d = xy(k + 1, :) - xy(k, :);
    pieces = max (1, ceil (hypot (d(1), d(2)) / (4 * max (radius, 1))));
    f = (0:pieces).' / pieces;
    ends = xy(k, :) + f * d;
    a = [a; ends(1:end - 1, :)];
    b = [b; ends(2:end, :)];
  end
  at = cell (size (a, 1), 1);
  for k = 1:size (a, 1)
    cols = max (1, floor (min (a(k, 1), b(k, 1)) - radius)):min (w, ceil (max (a(k, 1), b(k, 1)) + radius));
    rows = max (1, floor (min (a(k, 2), b(k, 2)) - radius)):min (h, ceil (max (a(k, 2), b(k, 2)) + radius));
    [x, y] = meshgrid (cols, rows);
    d = b(k, :) - a(k, :);
    span = sum (d.^2);
    if span > 0
      along = min (max (((x - a(k, 1)) * d(1) + (y - a(k, 2)) * d(2)) / span, 0), 1);
    else
      along = zeros (size (x));
    end
    near = hypot (x - a(k, 1) - along * d(1), y - a(k, 2) - along * d(2)) <= radius;
    pixels = y(near) + (x(near) - 1) * h;
    at{k} = pixels(:);                                 % a column, even for one row
  end
  at = unique (vertcat (zeros (0, 1), at{:}));
end

% ---- The update ------------------------------------------------------------

function S = update (S, tol, rounds)
% The segmentation for the current seeds at the working scale, the solver
% stopping at the relative residual TOL, the models learning from the
% answer ROUNDS times (default S.rounds).
  if nargin < 3
    rounds = S.rounds;
  end
  total = tic;
  [fg, bg] = shrinkSeeds (S.fg, S.bg, S.factor, S.h, S.w);
  % Both kinds must be painted; at the working scale one may lose every
  % block to the other, and the full-resolution pass still has it.
  S.ready = any (S.fg(:)) && any (S.bg(:));
  S.time.priors = 0; S.time.matrix = 0; S.time.solve = 0; S.time.full = 0;
  S.time.islands = 0; S.time.learn = 0;
  S.prob = [];
  S.labels = [];
  if ~S.ready
    % One kind of seed alone decides nothing yet: the mask is the seeds.
    S.x = [];
    if S.factor == 1
      S.prob = double (S.fg);
      S.labels = S.fg;
    end
    S.time.update = toc (total);
    return;
  end

  % Priors: Gaussian colour models of the seeds, each refitted only when
  % its seeds have changed.
  stage = tic;
  S.models.fg = colourModel (S.models.fg, S.X, fg);
  S.models.bg = colourModel (S.models.bg, S.X, bg);
  prior = priorOf (S.models.fg.parts, S.models.bg.parts, S.X);
  S.time.priors = toc (stage);

  stage = tic;
  noise = prior * seedNoise (S.graph, fg) + (1 - prior) * seedNoise (S.graph, bg);
  w = edgeWeights (S.graph, noise);
  S.time.matrix = toc (stage);

  if isempty (S.x)
    start = prior;
  else
    start = S.x(:);
  end
  free = ~(fg(:) | bg(:));
  [x, S.time.solve, matrix] = solveWalk (S.graph, w, free, double (fg(:)), ...
                                         prior, S.weight, start, tol);
  S.time.matrix = S.time.matrix + matrix;
  S.time.islands = 0;
  S.time.learn = 0;
  % The models learn from the answer: refitted to the features of what is
  % labelled foreground and background now, then solved again, a few rounds
  % (expectation-maximisation's), so that a colour the object holds but no
  % stroke covers is taken in.  Regions of foreground that no foreground
  % stroke reaches are weighed first, so that one dropped teaches nothing.
  % (Models learnt from fewer than 4096 working pixels, a few dozen blocks
  % a side, are no better than the strokes': a tiny image keeps those.)
  rounds = rounds * (S.h * S.w >= 4096);
  for round = 1:rounds
    stage = tic;
    [x, dropped] = islands (S, x, fg);
    S.time.islands = S.time.islands + toc (stage);
    stage = tic;
    % (Blocks on the boundary, which mix both sides' colours, and regions
    % dropped as unlike the strokes teach neither model.)
    on = x >= 0.5;
    mixed = dropped;
    across = on(S.graph.s) ~= on(S.graph.t);
    mixed(S.graph.s(across)) = true;
    mixed(S.graph.t(across)) = true;
    parts.fg = mixtureFit (spread (S.X, find ((on & ~mixed) | fg(:)), 2^14), 5);
    parts.bg = mixtureFit (spread (S.X, find ((~on & ~mixed) | bg(:)), 2^14), 5);
    S.parts = parts;
    prior = priorOf (parts.fg, parts.bg, S.X);
    S.time.learn = S.time.learn + toc (stage);
    [x, seconds, matrix] = solveWalk (S.graph, w, free, double (fg(:)), ...
                                      prior, S.weight, x, tol);
    S.time.solve = S.time.solve + seconds;
    S.time.matrix = S.time.matrix + matrix;
  end
  stage = tic;
  [x, S.dropped] = islands (S, x, fg);
  S.time.islands = S.time.islands + toc (stage);
  S.x = reshape (x, S.h, S.w);
  if S.factor == 1
    S.prob = S.x;
    S.prob(S.fg) = 1;
    S.prob(S.bg) = 0;
    S.labels = S.prob >= 0.5;
  end
  S.time.update = toc (total);
end

function prior = priorOf (fgParts, bgParts, X)
% The foreground prior of every column of X: the foreground density over
% the sum of both, 0.5 for a colour neither model knows.  A column.
  pFg = mixtureDensity (fgParts, X);
  pBg = mixtureDensity (bgParts, X);
  prior = (pFg ./ max (pFg + pBg, realmin)).';
  prior(pFg + pBg == 0) = 0.5;
end

function [x, dropped] = islands (S, x, fg)
% Every region of foreground (x >= 0.5, 8-connected) that no foreground
% seed touches is weighed: it is kept where its features are about as
% typical of the foreground strokes' model as the strokes' own (the median
% log density over the region at most S.island below the median over the
% strokes): a part of the object the strokes missed, of the same stuff.  A
% region that only resembles the strokes, far less typical of them, is
% dropped: its probability is mirrored below 0.5.
  on = x >= 0.5;
  dropped = false (numel (x), 1);
  seeds = find (fg(:));
  at = find (on);
  n = numel (at);
  if n == 0 || isempty (seeds) || isinf (S.island)
    return;
  end
  % The regions: the trees of the elimination tree of the graph's edges
  % within the foreground, one tree per connected region; each node's root
  % found by pointer jumping.
  G = S.graph;
  both = on(G.s) & on(G.t);
  node = zeros (G.n, 1);
  node(at) = 1:n;
  A = sparse (node(G.s(both)), node(G.t(both)), 1, n, n);
  parent = etree (A + A.');
  parent = parent(:);
  roots = find (parent == 0);
  parent(roots) = roots;
  root = parent;
  while true
    next = root(root);
    if isequal (next, root)
      break;
    end
    root = next;
  end
  [~, ~, id] = unique (root);
  id = id(:);
  count = accumarray (id, 1);
  seeded = accumarray (id, double (fg(at)), size (count)) > 0;
  if all (seeded)
    return;
  end
  reference = median (log (mixtureDensity (S.models.fg.parts, S.X(:, seeds)) + realmin));
  loose = find (~seeded(id));
  density = log (mixtureDensity (S.models.fg.parts, S.X(:, at(loose))) + realmin).';
  % The median of each region's densities: sorted by region, then density.
  [~, order] = sortrows ([id(loose), density]);
  group = id(loose(order));
  value = density(order);
  size_ = accumarray (group, 1, size (count));
  first = cumsum ([0; size_(1:end - 1)]);
  k = find (size_ > 0);
  middle = (value(first(k) + floor ((size_(k) + 1) / 2)) + value(first(k) + ceil ((size_(k) + 1) / 2))) / 2;
  strength = -inf (size (count));
  strength(k) = middle - reference;
  keep = seeded | strength >= -S.island;
  drop = at(~keep(id));
  x(drop) = 0.5 * (1 - x(drop));
  dropped(drop) = true;
end

function noise = seedNoise (G, seeds)
% The mean squared colour difference across the edges inside SEEDS (a
% mask over the graph's nodes), plus eps so that it is never 0.
  inside = seeds(G.s) & seeds(G.t);
  noise = sum (G.dcF(inside)) / max (nnz (inside), 1) + eps;
end

function w = edgeWeights (G, noise)
% The contrast of an edge is judged against the colour noise of the region
% its source pixel is likely in (NOISE, one value a node); each edge's
% weight is combined with its reverse edge's, so the weights are symmetric.
  w = sqrt ((exp (-G.dcF ./ noise(G.s)) ./ G.rootF) .* ...
            (exp (-G.dcB ./ noise(G.t)) ./ G.rootB));
end

function [x, solveTime, matrixTime] = solveWalk (G, w, free, fixed, prior, gamma, start, tol)
% The random walker over the graph G with edge weights W: x minimises
%   x' * L * x + gamma * sum ((1 - p) .* x.^2 + p .* (1 - x).^2)
% with x = FIXED where FREE is false.  With x = xs + y, xs = FIXED off the
% free nodes and 0 on them, y = 0 off them:
%   (L_UU + gamma*I) y_U = gamma*p_U + W_UF*xs_F.
% The fixed nodes keep rows of the identity, so that every entry keeps its
% place whatever the seeds, and the lower triangle comes already sorted.
  stage = tic;
  n = G.n;
  xs = fixed .* ~free;
  ends = [G.s; G.t];
  degree = accumarray (ends, [w; w], [n, 1]);
  toFixed = accumarray (ends, [w .* xs(G.t); w .* xs(G.s)], [n, 1]);
  diagonal = (degree + gamma) .* free + ~free;
  values = [-w .* (free(G.s) & free(G.t)); diagonal];
  lower = sparse (G.rows, G.cols, values(G.order), n, n);
  upper = lower.';
  b = (gamma * prior + toFixed) .* free;
  matrixTime = toc (stage);

  % The matrix is symmetric, positive definite and diagonally dominant, so
  % conjugate gradients preconditioned by its modified incomplete Cholesky
  % factor converge in a few steps, fewer from a good start; should they
  % not, the direct solver takes over.
  stage = tic;
  y = start .* free;
  R = ichol (lower, struct ('michol', 'on'));
  [y, ok] = conjugateGradients (upper, lower, diagonal, b, tol, 200, R, y);
  if ~ok
    y = (lower + upper - spdiags (diagonal, 0, n, n)) \ b;
  end
  x = y + xs;
  solveTime = toc (stage);
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

% ---- The full-resolution pass ------------------------------------------

function S = refine (S, tol)
% The answer at the image's own size: the working-scale probability,
% interpolated, everywhere but in a strip along the boundary it found,
% which is solved again on the image's own pixels, between the labels the
% working scale gave the pixels around the strip.  (Fixing those pixels to
% the interpolated probability instead lets the boundary drift from the
% edge wherever that probability is lopsided.)
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

  S.prob = growProb (S.x, f, H, W);
  S.prob(strip) = min (max (x(1:numel (strip)), 0), 1);   % the solver's tolerance aside
  S.prob(S.fg) = 1;
  S.prob(S.bg) = 0;
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

% ---- Colour models ---------------------------------------------------------

function model = colourModel (model, X, seeds)
% The Gaussian mixture of the colours (columns of X) under SEEDS, kept with
% the seeds it was fitted to and refitted only when they have changed.
  if isempty (model) || ~isequal (model.seeds, seeds)
    model = struct ('seeds', seeds, 'parts', mixtureFit (X(:, seeds(:))));
  end
end

function samples = colours (img, at, most)
% The colours of IMG at the pixels AT, at most MOST of them evenly spread,
% as columns.
  at = at(unique (round (linspace (1, numel (at), min (numel (at), most)))));
  plane = size (img, 1) * size (img, 2);
  samples = double ([img(at), img(at + plane), img(at + 2 * plane)].');
end

function samples = spread (X, at, most)
% The columns AT of X, at most MOST of them evenly spread.
  at = at(unique (round (linspace (1, numel (at), min (numel (at), most)))));
  samples = X(:, at);
end

function parts = mixtureFit (samples, most)
% A Gaussian mixture fitted to the columns of SAMPLES: a few rounds of
% k-means, one Gaussian per cluster of at least 4 samples, each weighted
% by its share of the samples.  Up to MOST clusters (default 3), fewer
% for fewer than 4 samples a cluster, so that a small stroke still gets
% its Gaussian.
  if nargin < 2
    most = 3;
  end
  d = size (samples, 1);
  k = max (1, min (most, floor (size (samples, 2) / 4)));
  [centres, owner] = kmeans3 (samples, k);
  parts = struct ('mu', {}, 'inverse', {}, 'scale', {});
  for j = 1:k
    mine = samples(:, owner == j);
    if size (mine, 2) < 4
      continue;
    end
    mu = centres(:, j);
    dev = mine - mu;
    C = (dev * dev.') / size (mine, 2) + 1e-4 * eye (d);
    scale = (size (mine, 2) / size (samples, 2)) / sqrt ((2 * pi)^d * det (C));
    parts(end + 1) = struct ('mu', mu, 'inverse', inv (C), 'scale', scale);
  end
end

function p = mixtureDensity (parts, X)
% The mixture's density at every column of X; KESTROW evaluates each part.
  p = zeros (1, size (X, 2));
  for j = 1:numel (parts)
    p = p + kestrow (X, parts(j).mu, parts(j).inverse, parts(j).scale);
  end
end

function [centres, owner] = kmeans3 (samples, k)
% Plain k-means on colour samples, started from k samples spread out by
% the farthest-point rule, so that it gives the same clusters every run.
  n = size (samples, 2);
  centres = zeros (size (samples, 1), k);
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

function A = blockMean (n, factor)
% The ceil(N/FACTOR)-by-N matrix that averages consecutive runs of FACTOR
% (the last run may be shorter).
  block = ceil ((1:n) / factor);
  count = accumarray (block(:), 1);
  A = sparse (block, 1:n, 1 ./ count(block), numel (count), n);
end

function [small, detail] = shrinkImage (img, factor, top)
% IMG averaged over FACTOR-by-FACTOR blocks (the last ones over what is
% left of them), as doubles in [0, 1], TOP being IMG's value for 1, and
% the variance of the colours within each block (DETAIL, summed over the
% channels; empty at FACTOR 1).  A band of whole blocks' rows at a time,
% each averaged across first: the fastest order for a sparse matrix, and
% a band's doubles stay small.
  detail = [];
  if factor == 1
    small = double (img) / top;
    return;
  end
  [h, w, d] = size (img);
  down = blockMean (h, factor);
  across = blockMean (w, factor).';
  small = zeros (size (down, 1), size (across, 2), d);
  square = zeros (size (down, 1), size (across, 2));
  band = factor * ceil (512 / factor);
  for first = 1:band:h
    rows = first:min (h, first + band - 1);
    for ch = 1:d
      plane = double (img(rows, :, ch));
      small(:, :, ch) = small(:, :, ch) + down(:, rows) * (plane * across);
      square = square + down(:, rows) * ((plane .* plane) * across);
    end
  end
  small = small / top;
  detail = max (square / top^2 - sum (small.^2, 3), 0);
end

function [fg, bg] = shrinkSeeds (fg, bg, factor, h, w)
% A block is a seed of the kind that marks more of its pixels, and none if
% both mark as many.
  if factor == 1
    return;
  end
  fgCount = blockCount (fg, factor, h, w);
  bgCount = blockCount (bg, factor, h, w);
  fg = fgCount > bgCount;
  bg = bgCount > fgCount;
end

function count = blockCount (mask, factor, h, w)
% How many pixels of MASK each FACTOR-by-FACTOR block holds, h-by-w blocks.
  [r, c] = find (mask);
  count = accumarray ([ceil(r(:) / factor), ceil(c(:) / factor)], 1, [h, w]);
end

function [lo, hi, t] = between (pixels, factor, n)
% For pixel rows (or columns) PIXELS, the two blocks whose centres
% surround them among N blocks of FACTOR pixels, and the weight of the
% second; beyond the outer centres the border block is repeated.
  at = min (max ((pixels(:) - 0.5) / factor + 0.5, 1), n);
  lo = min (floor (at), max (n - 1, 1));
  hi = min (lo + 1, n);
  t = at - lo;
end

function p = growProb (x, factor, h, w)
% X, one value per FACTOR-by-FACTOR block, interpolated to H-by-W pixels.
  [hs, ws] = size (x);
  [lo, hi, t] = between (1:h, factor, hs);
  down = sparse ([1:h, 1:h], [lo; hi], [1 - t; t], h, hs);
  [lo, hi, t] = between (1:w, factor, ws);
  across = sparse ([lo; hi], [1:w, 1:w], [1 - t; t], ws, w);
  p = (down * x) * across;
end

function v = coarseAt (x, factor, at, h)
% X interpolated as GROWPROB does, at the pixels with linear indices AT of
% an image H pixels high.
  [hs, ws] = size (x);
  [r0, r1, tr] = between (mod (at - 1, h) + 1, factor, hs);
  [c0, c1, tc] = between (floor ((at - 1) / h) + 1, factor, ws);
  x = x(:);
  v = (x(r0 + (c0 - 1) * hs) .* (1 - tc) + x(r0 + (c1 - 1) * hs) .* tc) .* (1 - tr) + ...
      (x(r1 + (c0 - 1) * hs) .* (1 - tc) + x(r1 + (c1 - 1) * hs) .* tc) .* tr;
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
    x = remainder (i * 7919 + (4 * stream + draw) * 104729, m);
    for r = 1:3
      x = remainder (x .* x + 12345 + r, m);
    end
    n = n + (x + 0.5) / m;
  end
  n = (n - 2) * sqrt (3);
end

function r = remainder (a, m)
% MOD (A, M) for whole A >= 0 below 2^53, twice as fast: A / M is rounded
% so little that its floor is exact (a remainder of 1 or M - 1 moves it
% further from a whole number than half a unit in its last place).
  r = a - floor (a / m) * m;
end
