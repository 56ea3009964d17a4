function S = sessionUpdate (S, tol)
%SESSIONUPDATE  A session's segmentation for its current seeds.
%   S = SESSIONUPDATE (S, TOL) solves for the seeds S.fg and S.bg at the
%   working scale, the solver stopping at the relative residual TOL, and
%   sets S.x, S.ready, S.prob, S.labels and S.time (SESSIONOPEN).
  total = tic;
  [fg, bg] = shrinkSeeds (S.fg, S.bg, S.factor, S.h, S.w);
  % Both kinds must be painted; at the working scale one may lose every
  % block to the other, and the full-resolution pass still has it.
  S.ready = any (S.fg(:)) && any (S.bg(:));
  S.time.priors = 0; S.time.matrix = 0; S.time.solve = 0; S.time.full = 0;
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
  [x, S.time.solve, matrix] = solveWalk (S.graph, w, ~(fg(:) | bg(:)), double (fg(:)), ...
                                         prior, S.weight, start, tol);
  S.time.matrix = S.time.matrix + matrix;
  S.x = reshape (x, S.h, S.w);
  if S.factor == 1
    S.prob = S.x;
    S.prob(S.fg) = 1;
    S.prob(S.bg) = 0;
    S.labels = S.prob >= 0.5;
  end
  S.time.update = toc (total);
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
