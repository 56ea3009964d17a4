function [prior, sure] = matteprior (img, code, tile, reach, k, noise)
%MATTEPRIOR  What the known colours around each unknown pixel say of its
%   opacity, and how surely.
%   [PRIOR, SURE] = MATTEPRIOR (IMG, CODE, TILE, REACH, K, NOISE): IMG H-by-
%   W-by-3 (uint8, uint16 or doubles in [0, 1]), CODE H-by-W (0 background,
%   1 unknown, 2 object).  The known object and background pixels within
%   REACH of each TILE-by-TILE square are clustered into K colours each.
%   A pixel whose colour lies near one side's colours and far from the
%   other's, and that no blend of an object colour and a background colour
%   explains much better, is pure: PRIOR 0 or 1, and SURE, in [0, 1],
%   how much nearer the one side it lies (NOISE, a colour distance, the
%   scale below which a difference counts for little).  A pixel that a
%   blend explains (a strand, a blurred edge) or whose colour both sides
%   hold is left to its neighbours: SURE 0.  Both H-by-W single, 0 on the
%   known pixels.
  [h, w, ~] = size (img);
  prior = zeros (h, w, 'single');
  sure = zeros (h, w, 'single');
  [r, c] = find (code == 1);
  if isempty (r)
    return;
  end
  tiles = unique ((ceil (c / tile) - 1) * ceil (h / tile) + ceil (r / tile));
  clear r c
  tr = ceil (h / tile);
  n2 = noise ^ 2;
  for t = tiles(:).'
    ti = mod (t - 1, tr);
    tj = (t - 1 - ti) / tr;
    core = {(ti * tile + 1):min(h, (ti + 1) * tile), (tj * tile + 1):min(w, (tj + 1) * tile)};
    rows = max (1, core{1}(1) - reach) : min (h, core{1}(end) + reach);
    cols = max (1, core{2}(1) - reach) : min (w, core{2}(end) + reach);
    near = code(rows, cols);
    I = reshape (unitSamples (img(rows, cols, :)), [], 3).';
    F = centres (I(:, near(:) == 2), k);
    B = centres (I(:, near(:) == 0), k);
    if isempty (F) || isempty (B)
      continue;                         % one side unseen here: nothing said
    end
    unknown = code(core{1}, core{2}) == 1;
    inner = false (size (near));
    inner(core{1} - rows(1) + 1, core{2} - cols(1) + 1) = unknown;
    X = I(:, inner(:));
    toF = nearest (X, F);
    toB = nearest (X, B);
    blend = inf (1, size (X, 2));       % the nearest blend of a pair
    for i = 1:k
      for j = 1:k
        d = F(:, i) - B(:, j);
        y = X - B(:, j);
        a = min (max ((d.' * y) / (d.' * d + eps), 0), 1);
        blend = min (blend, sum ((y - d * a) .^ 2, 1));
      end
    end
    pure = min (toF, toB) < 4 * blend;
    s = abs (toF - toB) ./ (toF + toB + n2);
    s(~pure) = 0;
    p = zeros (size (unknown), 'single');
    q = p;
    p(unknown) = toF < toB;
    q(unknown) = s;
    P = prior(core{1}, core{2});
    Q = sure(core{1}, core{2});
    P(unknown) = p(unknown);
    Q(unknown) = q(unknown);
    prior(core{1}, core{2}) = P;
    sure(core{1}, core{2}) = Q;
  end
end

function C = centres (X, k)
% K colours of the samples X (3-by-n), from at most 4000 of them spread
% evenly; none where there are fewer than K.
  C = [];
  if size (X, 2) >= k
    C = kmeans3 (X(:, round (linspace (1, size (X, 2), min (4000, size (X, 2))))), k);
  end
end

function d = nearest (X, C)
% The squared distance of each column of X to the nearest column of C.
  d = inf (1, size (X, 2));
  for j = 1:size (C, 2)
    d = min (d, sum ((X - C(:, j)) .^ 2, 1));
  end
end
