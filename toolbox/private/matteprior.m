function [prior, weight] = matteprior (img, code, tile, reach)
%MATTEPRIOR  What the known colours around each unknown pixel say of its
%   opacity, and how strongly the matte should hold to it.
%   [PRIOR, WEIGHT] = MATTEPRIOR (IMG, CODE, TILE, REACH): IMG H-by-W-by-3
%   (uint8, uint16 or doubles in [0, 1]), CODE H-by-W (0 background, 1
%   unknown, 2 object).  The known object and background pixels within
%   REACH of each TILE-by-TILE square are clustered into 4 colours each.
%   A pixel whose colour lies near one side's colours and far from the
%   other's, and that no blend of an object colour and a background colour
%   explains much better, is pure: PRIOR 0 or 1, and WEIGHT grows with how
%   much nearer the one side it lies (a difference below 0.05 counts for
%   little), up to 0.012 per megapixel of the image (at most 0.01): the
%   windows' smoothness per pixel falls with the square of the scale.  A
%   pixel that a blend explains (a strand, a blurred edge) or whose colour
%   both sides hold is left to its neighbours: WEIGHT 0.  Both H-by-W
%   single, 0 on the known pixels.
  [h, w, ~] = size (img);
  k = 4;                                % colours a side
  noise = 0.05;
  prior = zeros (h, w, 'single');
  weight = zeros (h, w, 'single');
  n2 = noise ^ 2;
  scale = min (0.01, 0.012 / (h * w / 1e6));   % the weight's, see above
  for core = tilesHolding (code == 1, tile).'
    core = core{1};
    rows = max (1, core{1}(1) - reach) : min (h, core{1}(end) + reach);
    cols = max (1, core{2}(1) - reach) : min (w, core{2}(end) + reach);
    near = code(rows, cols);
    F = centres (img, rows, cols, find (near == 2), k);
    B = centres (img, rows, cols, find (near == 0), k);
    if isempty (F) || isempty (B)
      continue;                         % one side unseen here: nothing said
    end
    unknown = code(core{1}, core{2}) == 1;
    X = colours (img, core{1}, core{2}, find (unknown));
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
    Q = weight(core{1}, core{2});
    P(unknown) = p(unknown);
    Q(unknown) = scale * q(unknown);      % in single, as the whole plane was
    prior(core{1}, core{2}) = P;
    weight(core{1}, core{2}) = Q;
  end
end

function C = centres (img, rows, cols, at, k)
% K colours of the pixels AT of IMG (ROWS, COLS, :), from at most 1000 of
% them spread evenly, by 5 rounds of k-means (colours to draw a pixel
% to, not a model: near enough); none where there are fewer than K.
  C = [];
  if numel (at) >= k
    C = kmeans3 (colours (img, rows, cols, at(round (linspace (1, numel (at), min (1000, numel (at)))))), k, 5);
  end
end

function X = colours (img, rows, cols, at)
% The colours (3-by-n, in [0, 1]) of the pixels AT of IMG (ROWS, COLS, :).
  m = numel (rows);
  r = rows(1) - 1 + mod (at(:) - 1, m) + 1;
  c = cols(1) - 1 + floor ((at(:) - 1) / m) + 1;
  i = r + (c - 1) * size (img, 1);
  plane = size (img, 1) * size (img, 2);
  X = unitSamples ([img(i), img(i + plane), img(i + 2 * plane)]).';
end

function d = nearest (X, C)
% The squared distance of each column of X to the nearest column of C.
  d = inf (1, size (X, 2));
  for j = 1:size (C, 2)
    d = min (d, sum ((X - C(:, j)) .^ 2, 1));
  end
end
