function [labels, info] = ncsegment (imageFile, K, outFile, varargin)
%NCSEGMENT  A colour image split into K regions by a normalized cut of its pixels.
%   LABELS = NCSEGMENT (IMAGEFILE, K) splits the colour (or grey) image in
%   IMAGEFILE into K regions and returns the H-by-W array LABELS of their
%   numbers, 1 to K, numbered in the order in which a column-by-column scan
%   from the top left corner first meets them.  IMAGEFILE may also be an
%   image array: H-by-W or H-by-W-by-3, double or single with values in
%   [0, 1], or an integer class scaled by its largest value.  Alpha is
%   ignored.  Two calls with the same input give the same labels.
%
%   NCSEGMENT (IMAGEFILE, K, OUTFILE) writes the picture to OUTFILE (default:
%   ncsegment.png in the current folder), 8-bit: side by side, the image,
%   the first nontrivial eigenvectors (up to three; dark blue low, dark red
%   high) and the regions' boundaries over the image.  A picture wider than
%   3200 pixels is written scaled down.
%
%   NCSEGMENT (..., NAME, VALUE, ...) sets a parameter:
%     'radius'  r: every pixel is joined to every pixel within r pixels of
%               it, the whole disc of offsets (default 3: 28 offsets; 5
%               gives 80); at least 1.  A larger disc joins pixels
%               across thin lines; the time grows with the offsets.
%     'sigmaI'  the colour scale sigma_I, the same at every size (default:
%               from each size's own colours, see below).
%     'sigmaX'  the distance scale sigma_X (default r).
%
%   [LABELS, INFO] = NCSEGMENT (...) also returns a struct with the sizes
%   worked on, the edge and offset counts, sigma_I (per size, full size
%   first) and sigma_X, the eigenvalues of the normalized Laplacian, the
%   pixels of every region, the time of every stage and the picture's path.
%
%   The method: a normalized cut (Shi and Malik).  PALLANT lists the edges
%   of the pixel graph, every offset (dr, dc) with 0 < dr^2 + dc^2 <= r^2,
%   with their squared colour differences |dI|^2 and squared lengths |dx|^2,
%   and each edge gets the affinity
%       w = exp (-|dI|^2 / sigma_I^2) * exp (-|dx|^2 / sigma_X^2),
%   the colour factor held at e^-10 or more, so that no clump of odd pixels
%   comes loose from the rest by itself.  sigma_I^2 is half the median of
%   |dI|^2 over the edges: the image's own noise sets the colour scale.
%   The regions come from the K leading eigenvectors of the normalized
%   affinity D^(-1/2) W D^(-1/2) (D the diagonal of W's row sums),
%   discretized into K labels by the rotation that brings them nearest to K
%   region indicators (Yu and Shi), started from the row where the second
%   eigenvector is largest, then each time the row nearest to orthogonal to
%   those chosen: nothing is left to chance.
%
%   The leading eigenvalues of a pixel graph this large lie within 1e-4 of
%   one another, where EIGS converges slowly (over a minute on 480 by 320
%   pixels), so the eigenvectors are found coarse to fine.  The image is averaged down, halving its size,
%   to at most 3000 pixels (30 per region for K above 100); there EIGS
%   finds the K eigenvectors (shift-invert, from a fixed start vector).
%   They are interpolated to each finer size in turn and refined on that
%   size's own graph, with its own sigma_I, by five steps of subspace
%   iteration and a Rayleigh-Ritz step.  The averaging also takes the
%   noise out of the colours where the eigenvectors are found.
%
%   An image of more than 300000 pixels is worked at a reduced scale (it
%   says so) and its labels interpolated back to full size.
%
%   Example: a noisy disc on a background, in two regions
%       [x, y] = meshgrid (1:90, 1:60);
%       inside = (x - 45).^2 + (y - 30).^2 < 20^2;
%       noise = reshape (mod ((1:16200) * 0.618034, 1), 60, 90, 3) - 0.5;
%       labels = ncsegment (0.3 + 0.4 * inside + 0.5 * noise, 2, 'disc.png');
%       fprintf ('%d pixels right\n', nnz (labels == 1 + inside));
%   prints (with the time of each stage):
%       Image: 60 x 90 pixels (an array)
%       Graph: 145836 edges, 28 offsets within radius 3; sigma_I 0.292, sigma_X 3
%       Levels: eigs on 30 x 45 pixels, refined on 60 x 90
%       Regions: 2, of 4155 and 1245 pixels
%       Time: image 0.00 s, graph 0.05 s, eigs 0.09 s, refinement 0.03 s, discretization 0.05 s, picture 0.08 s; total 0.32 s
%       Picture: disc.png
%       5400 pixels right
%
%   Reads image files as RWSEGMENT does.  Needs PALLANT on the path and the
%   toolbox's private folder beside this file.  Runs in MATLAB and in GNU
%   Octave.
%
%   See also RWSEGMENT, PALLANT.

  started = tic;
  if nargin < 2
    error ('ncsegment: give an image (a file name or an array) and the number of regions K');
  end
  if nargin < 3 || isempty (outFile)
    outFile = 'ncsegment.png';
  end
  opts = parameters (varargin);
  if ~isnumeric (K) || ~isscalar (K) || ~isreal (K) || K ~= round (K) || K < 2
    error ('ncsegment: K must be a whole number of regions, 2 or more');
  end
  if exist ('pallant') ~= 3
    error (['ncsegment: pallant is not on the path (the MEX function it runs on). ' ...
            'Build it with "bash examples/run" and addpath build/octave, or pkg load pixelgraph']);
  end

  folder = fileparts (outFile);
  if ~isempty (folder) && ~isfolder (folder)
    error ('ncsegment: cannot write the picture %s: there is no folder %s', outFile, folder);
  end

  % ---- The image ----------------------------------------------------------
  if isa (imageFile, 'string') && isscalar (imageFile)
    imageFile = char (imageFile);
  end
  checkOutputs ('ncsegment', {imageFile}, {outFile});
  if ischar (imageFile)
    img = rwread (imageFile);
    info.source = imageFile;
  else
    img = colourArray (imageFile);
    info.source = 'an array';
  end
  [H, W, ~] = size (img);
  if K > H * W
    error ('ncsegment: K is %d, more than the image''s %d pixels', K, H * W);
  end

  % ---- The sizes worked on ----------------------------------------------
  % The working size (the image itself up to 300000 pixels), then halved
  % until the coarsest size, where the eigenvectors are found.
  info.scale = min (1, sqrt (300000 / (H * W)));
  sizes = max (1, floor ([H, W] * info.scale));
  while prod (sizes(end, :)) > max (3000, 30 * K)
    sizes(end + 1, :) = ceil (sizes(end, :) / 2);
  end
  levels = size (sizes, 1);
  if K > prod (sizes(1, :))
    error ('ncsegment: K is %d, more than the %d pixels the image is worked at', K, prod (sizes(1, :)));
  end
  work = shrink (img, sizes(1, :));
  info.time.image = toc (started);

  [dc, dr] = meshgrid (-floor (opts.radius):floor (opts.radius));
  disc = dr.^2 + dc.^2 <= opts.radius^2 & (dr ~= 0 | dc ~= 0);
  if isempty (opts.sigmaX)
    opts.sigmaX = opts.radius;
  end

  % ---- Coarse to fine ------------------------------------------------------
  info.time.graph = 0; info.time.eigs = 0; info.time.refine = 0;
  info.sigmaI = zeros (levels, 1);
  pyramid = cell (levels, 1);
  pyramid{1} = work;
  for k = 2:levels
    pyramid{k} = shrink (pyramid{k - 1}, sizes(k, :));
  end
  for k = levels:-1:1
    stage = tic;
    h = sizes(k, 1); w = sizes(k, 2);
    % The offsets in increasing order of their column-major step: pallant
    % then lists every source pixel's targets in increasing order, which
    % sparse assembles some 15% faster.
    [~, order] = sort (dc(disc) * h + dr(disc));
    ro = dr(disc); co = dc(disc);
    [M, d, info.sigmaI(k), edges] = normalizedAffinity (pyramid{k}, int32 (ro(order)), ...
                                                        int32 (co(order)), opts);
    info.time.graph = info.time.graph + toc (stage);
    stage = tic;
    if k == levels
      Z = leadingEigenvectors (M, d, K);
      info.time.eigs = toc (stage);
    else
      % The coarser size's eigenvectors, interpolated, refined on this
      % size's graph: a few products with M take out what interpolation
      % put in (far from the leading eigenvalues, it dies fast), without
      % the hundreds of steps the leading eigenvectors themselves would
      % need to emerge at this size.
      Y = reshape (Y, sizes(k + 1, 1), sizes(k + 1, 2), K);
      Z = zeros (h * w, K);
      for j = 1:K
        Z(:, j) = reshape (resampler (sizes(k + 1, 1), h) * Y(:, :, j) * ...
                           resampler (sizes(k + 1, 2), w).', [], 1);
      end
      Z = Z .* sqrt (d);
      for step = 1:5
        Z = M * Z;
      end
      [Z, ~] = qr (Z, 0);
      [Z, lambda] = rayleighRitz (M, Z);
      info.time.refine = info.time.refine + toc (stage);
    end
    Y = Z ./ sqrt (d);
  end
  if levels == 1
    [Z, lambda] = rayleighRitz (M, Z);
    Y = Z ./ sqrt (d);
  end
  info.eigenvalues = 1 - lambda;
  info.edges = edges;
  info.offsets = nnz (disc);
  info.radius = opts.radius;
  info.sigmaX = opts.sigmaX;
  info.sizes = sizes;

  % ---- Discretization -----------------------------------------------------
  stage = tic;
  R = discretize (Y);
  [~, lab] = max (Y * R, [], 2);
  % Regions numbered in the order a column-major scan first meets them.
  [~, first] = unique (lab, 'first');
  [~, order] = sort (first);
  present = unique (lab);
  absent = setdiff ((1:K).', present);
  order = [present(order); absent];
  R = R(:, order);
  if info.scale == 1
    [~, labels] = max (Y * R, [], 2);
    labels = reshape (labels, H, W);
  else
    labels = growLabels (reshape (Y * R, sizes(1, 1), sizes(1, 2), K), H, W);
  end
  info.regions = accumarray (labels(:), 1, [K 1]).';
  info.time.discretize = toc (stage);

  % ---- Report and picture -----------------------------------------------
  stage = tic;
  ev = reshape (Y, sizes(1, 1), sizes(1, 2), K);
  writeImage (picture (img, ev(:, :, 2:min (K, 4)), labels), outFile);
  info.picture = outFile;
  info.time.picture = toc (stage);
  info.time.total = toc (started);

  fprintf ('Image: %d x %d pixels (%s)\n', H, W, info.source);
  if info.scale < 1
    fprintf ('Worked at a reduced scale, %.3g of full size: %d x %d pixels\n', ...
             info.scale, sizes(1, 1), sizes(1, 2));
  end
  fprintf ('Graph: %d edges, %d offsets within radius %g; sigma_I %.3g, sigma_X %.3g\n', ...
           info.edges, info.offsets, info.radius, info.sigmaI(1), info.sigmaX);
  finer = sprintf (', %d x %d', flipud (sizes(1:end - 1, :)).');
  if levels > 1
    finer = [', refined on' finer(2:end)];
  end
  fprintf ('Levels: eigs on %d x %d pixels%s\n', sizes(end, 1), sizes(end, 2), finer);
  counts = sprintf ('%d, ', info.regions(1:end - 1));
  counts = sprintf ('%s and %d', counts(1:end - 2), info.regions(end));
  fprintf ('Regions: %d, of %s pixels\n', K, counts);
  fprintf (['Time: image %.2f s, graph %.2f s, eigs %.2f s, refinement %.2f s, ' ...
            'discretization %.2f s, picture %.2f s; total %.2f s\n'], info.time.image, ...
           info.time.graph, info.time.eigs, info.time.refine, info.time.discretize, ...
           info.time.picture, info.time.total);
  fprintf ('Picture: %s\n', outFile);
end

% ---- Arguments -------------------------------------------------------------

function opts = parameters (args)
  opts = struct ('radius', 3, 'sigmaI', [], 'sigmaX', []);
  if mod (numel (args), 2) ~= 0
    error ('ncsegment: the parameters after OUTFILE come in pairs: a name, then its value');
  end
  for k = 1:2:numel (args)
    name = args{k};
    value = args{k + 1};
    if ~ischar (name) || ~any (strcmpi (name, {'radius', 'sigmaI', 'sigmaX'}))
      error ('ncsegment: unknown parameter (the names are ''radius'', ''sigmaI'' and ''sigmaX'')');
    end
    if ~isnumeric (value) || ~isscalar (value) || ~isreal (value) || ~isfinite (value)
      error ('ncsegment: %s must be a finite real number', name);
    end
    switch lower (name)
      case 'radius'
        if value < 1
          error ('ncsegment: the radius must be 1 or more, not %g', value);
        end
        opts.radius = double (value);
      case 'sigmai'
        if value <= 0
          error ('ncsegment: sigmaI must be more than 0');
        end
        opts.sigmaI = double (value);
      case 'sigmax'
        if value <= 0
          error ('ncsegment: sigmaX must be more than 0');
        end
        opts.sigmaX = double (value);
    end
  end
end

function img = colourArray (img)
% An image array as H-by-W-by-3 doubles.
  if (~isnumeric (img) && ~islogical (img)) || ~isreal (img) || isempty (img) || ...
     ndims (img) > 3 || ~any (size (img, 3) == [1 2 3 4])
    error ('ncsegment: the image must be a real H-by-W or H-by-W-by-3 array');
  end
  if isinteger (img)
    img = double (img) / double (intmax (class (img)));
  else
    img = double (img);
  end
  if any (~isfinite (img(:)))
    error ('ncsegment: the image has NaN or infinite values');
  end
  if size (img, 3) <= 2
    img = repmat (img(:, :, 1), [1 1 3]);       % grey, or grey with alpha
  end
  img = img(:, :, 1:3);
end

% ---- The graph and its eigenvectors ---------------------------------------

function [M, d, sigmaI, edges] = normalizedAffinity (img, ro, co, opts)
% D^(-1/2) W D^(-1/2) of IMG's graph over the offsets (RO, CO), and D.
  [h, w, ~] = size (img);
  n = h * w;
  [s, t, c, l] = pallant (img, ro, co);
  edges = numel (s);
  if isempty (opts.sigmaI)
    % Half the median squared colour difference, from at most a million
    % edges spread over the image; for an image with no noise at all, half
    % the mean.
    spread = c(1:ceil (edges / 1e6):end);
    sigma2 = median (spread) / 2;
    if sigma2 == 0
      sigma2 = mean (spread) / 2;
    end
    if sigma2 == 0
      sigma2 = 1;
    end
    sigmaI = sqrt (sigma2);
  else
    sigmaI = opts.sigmaI;
  end
  weight = exp (-min (c / sigmaI^2, 10) - l / opts.sigmaX^2);
  d = accumarray (s, weight, [n 1]);
  if any (d == 0)
    error ('ncsegment: sigmaX is too small for the radius: pixels lose all their edges');
  end
  is = 1 ./ sqrt (d);
  % is(s) .* is(t) is the same product for an edge and its reverse, so M
  % comes out exactly symmetric.
  M = sparse (t, s, weight .* (is(s) .* is(t)), n, n);
end

function Z = leadingEigenvectors (M, d, K)
% The K eigenvectors of M of the largest eigenvalues: those of the
% smallest eigenvalues of I - M, by shift-invert just below 0, from a fixed
% start vector.
  n = size (M, 1);
  if n <= 500 || 2 * K + 10 > n
    [V, E] = eig (full (M));
    [~, order] = sort (diag (E), 'descend');
    Z = V(:, order(1:K));
    return;
  end
  eo.tol = 1e-10;
  eo.maxit = 1000;
  eo.p = min (n, max (2 * K + 10, 20));
  eo.v0 = sqrt (d) .* (1 + 0.5 * cos (2.399963 * (1:n).'));
  [Z, E] = eigs (speye (n) - M, K, -1e-6, eo);
  [~, order] = sort (diag (E));
  Z = Z(:, order);
end

function [Z, lambda] = rayleighRitz (M, Z)
% The best approximations to eigenvectors of M within the span of Z
% (orthonormal columns), by decreasing eigenvalue.
  A = Z.' * (M * Z);
  [V, E] = eig ((A + A.') / 2);
  [lambda, order] = sort (diag (E), 'descend');
  Z = Z * V(:, order);
end

function R = discretize (Y)
% The rotation R for which the rows of Y, scaled to unit length, lie
% nearest to K indicator vectors (Yu and Shi): alternately the labels
% maximising X*R and the R nearest to the labels' indicators.  The start is
% fixed: the row where the second eigenvector is largest, then each time
% the row nearest to orthogonal to those chosen.
  [n, K] = size (Y);
  X = Y ./ sqrt (sum (Y.^2, 2));
  R = zeros (K);
  [~, at] = max (X(:, 2));
  R(:, 1) = X(at, :).';
  overlap = zeros (n, 1);
  for j = 2:K
    overlap = overlap + abs (X * R(:, j - 1));
    [~, at] = min (overlap);
    R(:, j) = X(at, :).';
  end
  last = inf;
  for iter = 1:30
    [~, lab] = max (X * R, [], 2);
    [U, S, V] = svd (full (sparse (lab, (1:n).', 1, K, n) * X));
    value = n - trace (S);
    R = V * U.';
    if last - value < 1e-9 * n
      break;
    end
    last = value;
  end
end

% ---- Scale -----------------------------------------------------------------

function A = resampler (n, m)
% The m-by-n matrix that takes a line of n pixels to m: where m < n each
% new pixel is the mean of the old ones whose centres fall in it; otherwise
% each is linearly interpolated between the two nearest old centres (held
% at the ends).
  if m < n
    to = floor (((1:n) - 0.5) * m / n) + 1;
    A = sparse (to, 1:n, 1, m, n);
    A = spdiags (1 ./ full (sum (A, 2)), 0, m, m) * A;
  else
    u = min (max (((1:m).' - 0.5) * n / m + 0.5, 1), n);
    lo = min (floor (u), max (n - 1, 1));
    f = u - lo;
    hi = min (lo + 1, n);
    A = sparse ([(1:m).'; (1:m).'], [lo; hi], [1 - f; f], m, n);
  end
end

function small = shrink (img, sz)
% IMG at the size SZ, each plane resampled.
  [h, w, D] = size (img);
  if h == sz(1) && w == sz(2)
    small = img;
    return;
  end
  Ar = resampler (h, sz(1));
  Ac = resampler (w, sz(2)).';
  small = zeros ([sz, D]);
  for ch = 1:D
    small(:, :, ch) = Ar * img(:, :, ch) * Ac;
  end
end

function labels = growLabels (scores, H, W)
% The label of the largest of the K score maps, each interpolated from its
% reduced size to H-by-W, a band of columns at a time.
  [h, w, K] = size (scores);
  Ar = resampler (h, H);
  Ac = resampler (w, W);
  tall = zeros (H, w, K);
  for j = 1:K
    tall(:, :, j) = Ar * scores(:, :, j);
  end
  labels = zeros (H, W);
  for first = 1:512:W
    cols = first:min (W, first + 511);
    best = -inf (H, numel (cols));
    for j = 1:K
      v = tall(:, :, j) * Ac(cols, :).';
      better = v > best;
      best(better) = v(better);
      band = labels(:, cols);
      band(better) = j;
      labels(:, cols) = band;
    end
  end
end

% ---- The picture -----------------------------------------------------------

function out = picture (img, ev, labels)
% The image, the eigenvectors EV and the boundaries of LABELS over the
% image, 8 white pixels apart, scaled down to at most 3200 pixels wide.
  [H, W, ~] = size (img);
  panels = 2 + size (ev, 3);
  scale = min (1, (3200 - 8 * (panels - 1)) / (panels * W));
  h = max (1, floor (H * scale));
  w = max (1, floor (W * scale));
  shown = shrink (img, [h w]);
  panels = {shown};
  for j = 1:size (ev, 3)
    v = shrink (ev(:, :, j), [h w]);
    v = (v - min (v(:))) / max (max (v(:)) - min (v(:)), realmin);
    panels{end + 1} = rwheat (v);
  end
  at = min (H, max (1, round (((1:h) - 0.5) * H / h + 0.5)));
  across = min (W, max (1, round (((1:w) - 0.5) * W / w + 0.5)));
  panels{end + 1} = outlined (shown, labels(at, across), [1 1 0]);
  out = sideBySide (panels);
end
