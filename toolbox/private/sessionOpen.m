function S = sessionOpen (img, gamma, warm, factor)
%SESSIONOPEN  A segmentation session: all that does not depend on the seeds.
%   S = SESSIONOPEN (IMG, GAMMA) builds everything that does not depend on
%   the seeds, once, at the working scale: IMG (H-by-W-by-3, doubles in
%   [0, 1], or uint8 or uint16 over their whole range, which a 12-megapixel
%   photograph holds in an eighth or a quarter of the memory) averaged over
%   FACTOR-by-FACTOR blocks (WORKINGFACTOR); there, the 8-neighbour edges
%   with their colour differences (PALLANT, one offset at a time), every
%   edge's reverse edge (MODRICK), the colours as a matrix with a column per
%   pixel.  GAMMA is the weight of the colour prior at a working size of
%   2^18 pixels; at other sizes it is scaled by 2^18 over the pixel count,
%   so that the prior reaches as far across the picture whatever its
%   resolution.
%   S = SESSIONOPEN (IMG, GAMMA, true) also runs one throw-away update, so
%   that the first update after a stroke is as quick as the others.
%   S = SESSIONOPEN (IMG, GAMMA, WARM, FACTOR) sets FACTOR (1: the whole
%   image is solved at once, with no second pass).
%   Even a small image is worked at half its size: averaging 2-by-2 blocks
%   quells pixel noise, and the second pass (SESSIONREFINE) puts the
%   boundary back on the image's own pixels; both together label more
%   pixels right than one solve at full size, and take less time.
%
%   The session's steps: SESSIONSTROKE, SESSIONUNDO, SESSIONSEEDS.  After
%   each, S.x is the foreground probability at the working scale (S.h-by-
%   S.w, one value per S.factor-by-S.factor block), S.ready whether both
%   kinds of seed exist, and S.time the time of the update's stages.
%   S.prob and S.labels (prob >= 0.5) are the probability and the mask at
%   the image's own size: after SESSIONSEEDS always, after SESSIONSTROKE
%   and SESSIONUNDO only where the working scale is the image's (S.factor
%   1; else they are empty).  Until both kinds of seed exist the mask is
%   the foreground seeds.  An update solves starting from the previous
%   solution.
  S = struct ();
  S.gamma = gamma;
  S.radius = 3;
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
  S.work = shrinkImage (img, S.factor, S.top);
  [h, w, ~] = size (S.work);
  S.h = h; S.w = w;
  S.weight = gamma * 2^18 / (h * w);              % the prior's weight here

  stage = tic;
  S.graph = walkGraph (offsetGraph (S.work), h * w);
  S.edges = 2 * numel (S.graph.s);                % as PALLANT lists them
  S.strip = 0;                                    % the full-resolution pass's
  S.stripEdges = 0;
  S.X = reshape (S.work, h * w, 3).';             % 3-by-N, a column per pixel
  S.time.graph = toc (stage);

  S.strokes = struct ('kind', {}, 'xy', {}, 'radius', {});
  S.history = {};
  S.fg = false (S.fullH, S.fullW);
  S.bg = false (S.fullH, S.fullW);
  S.x = [];
  S.models = struct ('fg', {[]}, 'bg', {[]});
  if nargin >= 3 && ~isempty (warm) && warm
    % One update with a seed of each kind in two corners, thrown away: the
    % first update after a stroke then finds the index lists of this
    % session already checked and its memory already mapped.
    corners = false (S.fullH, S.fullW);
    corners(1) = true;
    S.fg = corners;
    S.bg = rot90 (corners, 2);
    sessionUpdate (S, 1e-3);
    S.fg = false (S.fullH, S.fullW);
    S.bg = S.fg;
  end
  S = sessionUpdate (S, 1e-3);
end

function A = blockMean (n, factor)
% The ceil(N/FACTOR)-by-N matrix that averages consecutive runs of FACTOR
% (the last run may be shorter).
  block = ceil ((1:n) / factor);
  count = accumarray (block(:), 1);
  A = sparse (block, 1:n, 1 ./ count(block), numel (count), n);
end

function small = shrinkImage (img, factor, top)
% IMG averaged over FACTOR-by-FACTOR blocks (the last ones over what is
% left of them), as doubles in [0, 1], TOP being IMG's value for 1.  A
% band of whole blocks' rows at a time, each averaged across first: the
% fastest order for a sparse matrix, and a band's doubles stay small.
  if factor == 1
    small = double (img) / top;
    return;
  end
  [h, w, d] = size (img);
  down = blockMean (h, factor);
  across = blockMean (w, factor).';
  small = zeros (size (down, 1), size (across, 2), d);
  band = factor * ceil (512 / factor);
  for ch = 1:d
    for first = 1:band:h
      rows = first:min (h, first + band - 1);
      small(:, :, ch) = small(:, :, ch) + down(:, rows) * (double (img(rows, :, ch)) * across);
    end
  end
  small = small / top;
end
