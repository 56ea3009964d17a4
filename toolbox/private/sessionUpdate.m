function S = sessionUpdate (S, tol, rounds)
%SESSIONUPDATE  A session's segmentation for its current seeds.
%   S = SESSIONUPDATE (S, TOL, ROUNDS) solves for the seeds S.fg and S.bg
%   at the working scale, the solver stopping at the relative residual
%   TOL, and sets S.x, S.ready, S.prob, S.labels and S.time, the models
%   learning from the answer ROUNDS times (default S.rounds; SESSIONOPEN
%   says how).
  if nargin < 3
    rounds = S.rounds;
  end
  total = tic;
  if isempty (S.count)
    S.count = struct ('fg', blockCount (S.fg, S.factor, S.h, S.w), ...
                      'bg', blockCount (S.bg, S.factor, S.h, S.w));
  end
  [fg, bg] = shrinkSeeds (S.fg, S.bg, S.count, S.factor);
  % Both kinds must be painted; at the working scale one may lose every
  % block to the other, and the full-resolution pass still has it.
  S.ready = any (S.count.fg(:)) && any (S.count.bg(:));
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
  [prior, logFg, logBg] = priorOf (S.models.fg.parts, S.models.bg.parts, S.X);
  % Where neither stroke's mixture knows the stuff and it is out of focus,
  % the prior holds a tenth as strongly, in every round: which mixture's
  % tail reaches further there is no evidence, and the edges decide.  A
  % blurred red leaf beside a leaf in focus whose strokes hold no red went
  % to the foreground by that tail alone, and taught it red (bench/
  % hard_bench's focus composite of FallenLeaf 0.932 -> 0.950 at 0.26
  % megapixels).  Stuff in focus keeps the prior's whole weight: an
  % object's colour under no stroke is taken in by it (at a tenth for
  % all such stuff, the texture composite of FallenLeaf on Path fell
  % 0.996 -> 0.979).
  % And wherever the image is more blurred than nearly all of the
  % foreground strokes' own blocks and the prior leans to the foreground,
  % the prior holds three tenths as strongly (PULL, again in every round):
  % a blurred background of the object's palette shares its colours, which
  % are no evidence there, and the sharp edge at the object's outline,
  % which the edge weights see, decides (bench/hard_bench's focus
  % composites at 0.26 megapixels: ColorfulCups 0.944 -> 0.966,
  % FallenLeaf 0.951 -> 0.978, and mate-backgrounds' TwoWings 0.885 ->
  % 0.989).  Where it leans to the background, the background strokes'
  % own blurred stuff holds it there at its whole weight (weakened both
  % ways, a blurred sky of the object's light colours beside focus Autumn
  % went to the object at 12 megapixels, 0.999 -> 0.937).  Strokes on
  % blurred stuff lower the bound, so that an object blurred in parts
  % keeps the prior there.
  gamma = S.weight * (1 - 0.9 * unclaimed (S, logFg, logBg, fg, bg));
  soft = blurred (S, fg);
  S.time.priors = toc (stage);

  stage = tic;
  % An edge's colour difference is judged against the texture of the
  % region its pixel is likely in (the strokes' own), but never against
  % more than the image's own contrast (half the mean squared difference
  % across all its edges): else a blurred region that the prior calls
  % foreground took the textured strokes' scale, and the sharp outline of
  % an object in focus beside it hardly cut.
  noise = min (prior * seedNoise (S.graph, fg) + (1 - prior) * seedNoise (S.graph, bg), ...
               S.contrast + eps);
  w = edgeWeights (S.graph, noise);
  S.time.matrix = toc (stage);

  if isempty (S.x)
    start = prior;
  else
    start = S.x(:);
  end
  free = ~(fg(:) | bg(:));
  [x, S.time.solve, matrix, prepared] = solveWalk (S.graph, w, free, double (fg(:)), ...
                                                   prior, pull (gamma, soft, prior), start, tol);
  S.time.matrix = S.time.matrix + matrix;
  S.time.islands = 0;
  S.time.learn = 0;
  % The models learn from the answer: refitted to the features of what is
  % labelled foreground and background now, then solved again, a few rounds
  % (expectation-maximisation's), so that a colour the object holds but no
  % stroke covers is taken in.  Regions of foreground that no foreground
  % stroke reaches are weighed first, so that one dropped teaches nothing.
  % What the answer calls foreground only barely (below 0.8) teaches the
  % background's model as well, as unmarked pixels teach GrabCut's: a
  % blurred region beside an object in focus, of the object's palette but
  % under no stroke, then leans to the background it is part of rather
  % than teaching the foreground its colours (bench/hard_bench's focus
  % composite of FallenLeaf 0.910 -> 0.924 at 0.26 megapixels and 0.903 ->
  % 0.919 at 12; no case more than 0.003 lower).
  % (Models learnt from fewer than 4096 working pixels, a few dozen blocks
  % a side, are no better than the strokes': a tiny image keeps those.)
  rounds = rounds * (S.h * S.w >= 4096);
  % Regions of other stuff than any background stroke's that the first
  % answer leaves out beside the object join it (ATTACHED); they do not
  % count in the weighing of the region they join.
  joined = false (S.graph.n, 1);
  if rounds > 0
    other = unlike (logBg, bg);
  end
  for round = 1:rounds
    stage = tic;
    [x, dropped] = islands (S, x, fg, joined);
    [x, joined] = attached (S.graph, x, bg, other, joined);
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
    parts.bg = mixtureFit (spread (S.X, find ((x < 0.8 & ~mixed) | bg(:)), 2^14), 5);
    S.parts = parts;
    prior = priorOf (parts.fg, parts.bg, S.X);
    S.time.learn = S.time.learn + toc (stage);
    [x, seconds, matrix] = solveWalk (S.graph, w, free, double (fg(:)), ...
                                      prior, pull (gamma, soft, prior), x, tol, prepared);   % the same matrix
    S.time.solve = S.time.solve + seconds;
    S.time.matrix = S.time.matrix + matrix;
  end
  clear prepared
  stage = tic;
  [x, S.dropped] = islands (S, x, fg, joined);
  S.time.islands = S.time.islands + toc (stage);
  S.x = reshape (x, S.h, S.w);
  if S.factor == 1
    S.prob = min (max (S.x, 0), 1);              % the solver's tolerance aside
    S.prob(S.fg) = 1;
    S.prob(S.bg) = 0;
    S.labels = S.prob >= 0.5;
  end
  S.time.update = toc (total);
end

function [x, dropped] = islands (S, x, fg, joined)
% Every region of foreground (x >= 0.5, 8-connected) that no foreground
% seed touches is weighed: it is kept where its features are about as
% typical of the foreground strokes' model as the strokes' own (the median
% log density over the region at most S.island below the median over the
% strokes), a part of the object the strokes missed, of the same stuff,
% and where the answer calls it foreground clearly (its mean probability
% at least S.sure).  A region that only resembles the strokes, far less
% typical of them, or that the models call foreground barely (blurred
% leaves of the object's colours all round a leaf in focus), is dropped:
% its probability is mirrored below 0.5.  The pixels that JOINED it as
% another stuff beside it (ATTACHED) are left out of its median.
  on = x >= 0.5;
  dropped = false (numel (x), 1);
  seeds = find (fg(:));
  if ~any (on) || isempty (seeds) || isinf (S.island)
    return;
  end
  reference = median (log (mixtureDensity (S.models.fg.parts, S.X(:, seeds)) + realmin));
  at = find (on);
  [id, count] = regions (S.graph, on, at);
  seeded = accumarray (id, double (fg(at)), size (count)) > 0;
  if ~all (seeded)
    keep = seeded | weigh (S, x, at, id, count, ~seeded, joined, reference);
    drop = at(~keep(id));
    x(drop) = 0.5 * (1 - x(drop));
    dropped(drop) = true;
  end
  object = false (numel (x), 1);                 % the regions a seed touches
  object(at(seeded(id))) = true;
  % A region joined to a seeded one only through a neck (in-focus grass
  % beside a leaf's lobe, which the blocks between reach) is weighed too:
  % what is left of the seeded regions after a shrinking by NECK blocks
  % is split into its regions, each unseeded one weighed as above, and
  % what a dropped one grows back to (and no kept one does) is dropped.
  % A thin part, which the shrinking takes away whole, is not weighed;
  % nor, again, a region no seed touches, weighed whole above, nor what
  % JOINED the object as other stuff beside it.
  neck = 3;
  square = ones (2 * neck + 1);                  % NECK steps of 8-neighbours
  core = conv2 (double (reshape (object & ~joined, S.h, S.w)), square, 'same') == numel (square);
  at = find (core);
  if isempty (at)
    return;
  end
  [id, count] = regions (S.graph, core(:), at);
  seeded = accumarray (id, double (fg(at)), size (count)) > 0;
  if all (seeded)
    return;
  end
  keep = seeded | count < 32 | weigh (S, x, at, id, count, ~seeded, joined, reference);
  lost = zeros (S.h, S.w);
  lost(at(~keep(id))) = 1;
  held = zeros (S.h, S.w);
  held(at(keep(id))) = 1;
  lost = conv2 (lost, square, 'same') > 0;
  held = conv2 (held, square, 'same') > 0;
  drop = find (lost(:) & object & ~held(:) & ~joined & ~fg(:));
  x(drop) = 0.5 * (1 - x(drop));
  dropped(drop) = true;
end

function keep = weigh (S, x, at, id, count, loose, joined, reference)
% Which regions (ID numbers the nodes AT by region, COUNT their sizes)
% among the LOOSE ones are kept: the median of their nodes' log densities
% under the foreground seeds' mixture (those that JOINED left out) at
% most S.island below REFERENCE, and their mean probability at least
% S.sure.
  loose = find (loose(id));
  loose = loose(~joined(at(loose)));
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
  sure = accumarray (id, x(at), size (count)) ./ count;
  keep = strength >= -S.island & sure >= S.sure;
end

function [id, count] = regions (G, in, at)
% The 8-connected regions of the mask IN over the graph G's nodes, AT its
% nodes (FIND (IN)): ID numbers each node's region, COUNT each region's
% size.  The regions are the trees of the elimination tree of the graph's
% edges within the mask, one tree per region; each node's root found by
% pointer jumping.
  n = numel (at);
  both = in(G.s) & in(G.t);
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
end

function other = unlike (density, seeds)
% The nodes whose log DENSITY under the SEEDS' mixture is far below that of
% any of its own seeds: 10 below the 1st percentile of the seeds' (what a
% stroke's own texture reaches, and then some), another stuff than the
% strokes marked.  None under a seed.
  other = false (numel (density), 1);
  if ~any (seeds(:))
    return;
  end
  own = sort (density(seeds(:)));
  other = density < own(ceil (0.01 * numel (own))) - 10;
  other(seeds(:)) = false;
end

function u = unclaimed (S, logFg, logBg, fg, bg)
% The nodes of stuff unlike both strokes' (UNLIKE) and out of focus: the
% share of their detail finer than a block (S.fine) below 0.2, where a
% blurred background lies and an object in focus does not.  None where
% sharpness is not measured (a tiny image, or one worked at full scale).
  u = false (S.graph.n, 1);
  if ~any (S.sharp(:))
    return;
  end
  u = unlike (logFg, fg) & unlike (logBg, bg) & S.fine(:) < 0.2;
end

function g = pull (gamma, soft, prior)
% The prior's weight per node: GAMMA, three tenths of it on the SOFT nodes
% (BLURRED) whose PRIOR leans to the foreground.
  g = gamma .* (1 - 0.7 * (soft & prior > 0.5));
end

function b = blurred (S, fg)
% The nodes with less detail finer than a block (S.fine) than 95% of the
% foreground seeds' blocks, and below 0.2 (see UNCLAIMED).  None where
% sharpness is not measured, or where no foreground seed is left at the
% working scale.
  b = false (S.graph.n, 1);
  own = sort (S.fine(fg(:)));
  if ~any (S.sharp(:)) || isempty (own)
    return;
  end
  b = S.fine(:) < min (0.2, own(ceil (0.05 * numel (own))));
end

function [x, joined] = attached (G, x, bg, other, joined)
% A region of background (x < 0.5) of OTHER stuff (UNLIKE) that touches
% the foreground over two fifths to nine tenths of its rim, and no
% background stroke, joins the foreground: its probability is mirrored
% above 0.5 and it is marked JOINED.  A part of the object in colours that
% no stroke covers and that the background's lacks (a blue cup at the
% edge of a blob of dark ones) comes out with it; a stretch of the
% background that no stroke marked meets the object along a small share
% of its rim (a sunset behind a boat: 0.37 at most, on the composites
% of bench/hard_cases.m), and an island of other stuff does not touch it
% at all (islands keep their rule).  A region the object encloses (more
% than nine tenths of its rim) is a hole in it, as a ring's is, or a
% patch of the background that a first answer wrongly took in all round
% (a sunlit blur beside a leaf in focus), and stays out.  A region is
% also at least three times as large as its pixels touching the
% foreground: the blend of both sides' colours along a blurred outline,
% a thin rim of other stuff, stays where the strip at full resolution
% puts it.
  on = x >= 0.5;
  in = other & ~on;
  at = find (in);
  if isempty (at)
    return;
  end
  [id, count] = regions (G, in, at);
  rim = @(side) accumarray (id, double (touches (G, in, side, at)), size (count));
  toObject = rim (on);
  toRest = rim (~on & ~in);
  stroked = rim (bg) > 0;
  share = toObject ./ max (toObject + toRest, 1);
  join = share >= 0.4 & share <= 0.9 & ~stroked & count >= 3 * toObject;
  j = at(join(id));
  x(j) = 1 - x(j);
  joined(j) = true;
end

function t = touches (G, in, side, at)
% Whether each node AT of the mask IN has a neighbour in the mask SIDE.
  t = false (G.n, 1);
  t(G.s(in(G.s) & side(G.t))) = true;
  t(G.t(in(G.t) & side(G.s))) = true;
  t = t(at);
end

function noise = seedNoise (G, seeds)
% The mean squared colour difference across the edges inside SEEDS (a
% mask over the graph's nodes), plus eps so that it is never 0.
  inside = seeds(G.s) & seeds(G.t);
  noise = sum (G.dcF(inside)) / max (nnz (inside), 1) + eps;
end

function model = colourModel (model, X, seeds)
% The Gaussian mixture of the colours (columns of X) under SEEDS, kept with
% the seeds it was fitted to and refitted only when they have changed.
  if isempty (model) || ~isequal (model.seeds, seeds)
    model = struct ('seeds', seeds, 'parts', mixtureFit (X(:, seeds(:))));
  end
end

function samples = spread (X, at, most)
% The columns AT of X, at most MOST of them evenly spread.
  at = at(unique (round (linspace (1, numel (at), min (numel (at), most)))));
  samples = X(:, at);
end

function [fg, bg] = shrinkSeeds (fg, bg, count, factor)
% A block is a seed of the kind that marks more of its pixels (COUNT, per
% block), and none if both mark as many.
  if factor == 1
    return;
  end
  fg = count.fg > count.bg;
  bg = count.bg > count.fg;
end

function count = blockCount (mask, factor, h, w)
% How many pixels of MASK each FACTOR-by-FACTOR block holds, h-by-w blocks.
  [r, c] = find (mask);
  count = accumarray ([ceil(r(:) / factor), ceil(c(:) / factor)], 1, [h, w]);
end
