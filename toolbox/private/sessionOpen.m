function S = sessionOpen (img, gamma, warm, factor)
%SESSIONOPEN  A segmentation session: all that does not depend on the seeds.
%   S = SESSIONOPEN (IMG, GAMMA) builds everything that does not depend on
%   the seeds, once, at the working scale: IMG (H-by-W-by-3, doubles in
%   [0, 1], or uint8 or uint16 over their whole range, which a 12-megapixel
%   photograph holds in an eighth or a quarter of the memory) averaged over
%   FACTOR-by-FACTOR blocks (WORKINGFACTOR); beside the colours, a fourth
%   channel, S.sharp: how sharp the image is around each block (the
%   colours' variance within the blocks of a 3-by-3 window, against its
%   median over the image, on a log scale), and a fifth, S.fine: the share
%   of that variation finer than a block, which a blurred region lacks
%   however strongly its colours swing; both tell an object in focus from
%   a blurred background of the same colours; there, the 8-neighbour
%   edges with their differences in those five channels (PALLANT, one
%   offset at a time), every edge's reverse edge (MODRICK), the features as
%   a 5-by-N matrix.  GAMMA is the weight of the colour prior at a working size of
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
%
%   An update solves with Gaussian mixtures of the seeds' features as the
%   prior, then S.rounds times (default 3; after SESSIONSTROKE,
%   S.strokeRounds, default 2, which the painting window sets to 0)
%   refits both mixtures to the answer (the blocks labelled foreground and
%   background, those on the boundary left out) and solves again, as
%   expectation-maximisation does: a colour the object holds that no
%   stroke covers is taken in.  Where the features are unlike both
%   strokes' mixtures (10 below the 1st percentile of their own strokes'
%   log densities) and out of focus (S.fine below 0.2), the prior holds a
%   tenth as strongly, in every solve; and wherever S.fine is below 0.2
%   and below that of 95% of the foreground seeds' blocks and the prior
%   leans to the foreground, three tenths as strongly (both together:
%   three hundredths).  Before each refit, every region of foreground that
%   no foreground seed touches is weighed: it is kept when its features
%   are about as typical of the foreground seeds' mixture as the seeds'
%   own (the median log density over the region at most
%   S.island, default 40, below the median over the seeds), as another part
%   of the same object is, and its mean probability is at least S.sure
%   (default 0.75: the models call it foreground clearly, not barely, as
%   they do blurred leaves of a leaf's colours around it); otherwise it is
%   dropped (its probability mirrored below 0.5) and teaches neither
%   model; so, too, is each piece of a stroked region, left when the
%   foreground is shrunk by 3 blocks, that no foreground seed touches
%   (32 blocks or more: a region joined to the object through a neck).
%   A region of background of other stuff than the background strokes'
%   that the foreground holds over two fifths to nine tenths of its rim,
%   touching no background stroke, joins the foreground and teaches its
%   model (a part of other colours at the object's edge).  A
%   foreground stroke on a region keeps it; S.island = Inf keeps every
%   region.  Below 4096 working pixels there is no refit and no
%   sharpness: too few blocks.
  S = struct ();
  S.gamma = gamma;
  S.radius = 3;
  S.island = 40;                                  % see ISLANDS
  S.sure = 0.75;                                  % the same
  S.rounds = 3;                                   % of learning from the answer
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
  % And a fifth: how much of that variation is finer than a block, which a
  % blurred region lacks however strongly its colours swing (its square
  % root, 0.6 times: about 0.1 on a blurred background, 0.2 to 0.5 on one
  % in focus, a step about as large as the colours' between objects).
  [S.sharp, fine] = sharpness (S.work, detail);
  S.fine = 0.6 * sqrt (fine);
  % The strip's blocks each side of the working scale's boundary: two where
  % sharpness is measured, since a block across an outline is sharp and may
  % take the boundary a block off.
  S.reach = 1 + any (S.sharp(:));
  features = cat (3, S.work, S.sharp, S.fine);
  S.graph = walkGraph (offsetGraph (features), h * w);
  S.contrast = mean (S.graph.dcF) / 2;           % the image's own; see SESSIONUPDATE
  S.edges = 2 * numel (S.graph.s);                % as PALLANT lists them
  S.strip = 0;                                    % the full-resolution pass's
  S.stripEdges = 0;
  S.X = reshape (features, h * w, 5).';           % 5-by-N, a column per pixel
  S.time.graph = toc (stage);

  S.strokes = struct ('kind', {}, 'xy', {}, 'radius', {});
  S.history = {};
  S.fg = false (S.fullH, S.fullW);
  S.bg = false (S.fullH, S.fullW);
  S.count = struct ('fg', zeros (h, w), 'bg', zeros (h, w));   % see SEEDSAT
  S.x = [];
  S.models = struct ('fg', {[]}, 'bg', {[]});
  S.parts = struct ('fg', {[]}, 'bg', {[]});
  if nargin >= 3 && ~isempty (warm) && warm
    % One update with a seed of each kind in two corners, thrown away: the
    % first update after a stroke then finds the index lists of this
    % session already checked and its memory already mapped.
    corners = false (S.fullH, S.fullW);
    corners(1) = true;
    warmed = S;
    warmed.fg = corners;
    warmed.bg = rot90 (corners, 2);
    warmed.count = [];
    sessionUpdate (warmed, 1e-3);
    clear warmed
  end
  S = sessionUpdate (S, 1e-3);
end

function [t, r] = sharpness (work, detail)
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
% R, beside it, is the share of that variation, over the same window,
% that lies within the blocks rather than between them (the variance of
% the window's block means, WORK): near 1 for texture finer than a block,
% near a ninth for a ramp, whatever its contrast, and less for anything
% smoother, so that a blurred region whose colours swing widely is not
% taken for one in focus.  Variation of a few 8-bit levels (2 levels
% squared for each of the three channels, added below) counts as none: a
% flat region is as smooth as a blurred one.  0 where T is.
  [h, w, d] = size (work);
  if isempty (detail) || h * w < 4096
    t = zeros (h, w);
    r = t;
    return;
  end
  box = ones (3, 1);
  count = conv2 (box, box, ones (h, w), 'same');
  within = conv2 (box, box, detail, 'same') ./ count;
  e = sqrt (max (within, 0));
  % (At least a 255th: variation below an 8-bit level, rounding's or a
  % flat image's, counts as none.)
  typical = max (median (e(:)), 1 / 255);
  t = 0.3 * log1p (e / typical);
  between = zeros (h, w);
  for ch = 1:d
    mu = conv2 (box, box, work(:, :, ch), 'same') ./ count;
    between = between + conv2 (box, box, work(:, :, ch).^2, 'same') ./ count - mu.^2;
  end
  r = within ./ (within + max (between, 0) + 3 * (2 / 255)^2);
end

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
