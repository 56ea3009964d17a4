function [alpha, half] = mattealpha (img, code, tile, margin, epsilon, alpha, opts)
%MATTEALPHA  The opacity of every unknown pixel, by the closed-form matting
%   Laplacian, solved tile by tile.
%   ALPHA = MATTEALPHA (IMG, CODE, TILE, MARGIN, EPSILON): IMG H-by-W-by-3
%   (uint8, uint16 or doubles in [0, 1]), CODE H-by-W uint8 (0 background,
%   1 unknown, 2 object).  ALPHA is H-by-W single precision: 0 and 1 on the
%   known pixels, the solution in [0, 1] on the unknown ones.
%
%   Every 3-by-3 window k of the image is taken to hold colours on a line,
%   alpha = a_k' * I + b_k within it, which gives the quadratic form
%   alpha' * L * alpha with L = D - A, the affinity of two pixels i, j
%       A_ij = sum_k (1 + (I_i - mu_k)' * inv (C_k + EPSILON/9) * (I_j - mu_k)) / 9
%   over the windows k holding both (mu_k, C_k the window's mean colour and
%   covariance).  Two pixels share a window up to two pixels apart: the 24
%   offsets, of which the 12 that raise the index list each pair once.
%   The sums over windows are sums of per-window quantities over a
%   rectangle of window centres, so each offset's affinities are a few
%   shifted sums of 11 per-window terms, made only for the windows that
%   hold an unknown pixel.  The unknown pixels are solved with the known
%   ones fixed, one TILE-by-TILE square at a time, in a crop MARGIN pixels
%   wider on every side (whose solution is dropped): the sparse system of
%   one crop at a time, never of the whole image.
%
%   Most pixels of a wide unknown band are pure.  Where there are many
%   unknown pixels, the matte of the image at half size (2-by-2 cells
%   averaged) is made first; the unknown pixels more than two cells from
%   any cell whose opacity is off 0 and 1 by more than 0.1 (or on a jump
%   between 0 and 1) take their cell's opacity, and only the rest is
%   solved at full size, by a sparse Cholesky factorisation.  A strand
%   fainter than that at half size (a pixel wide, below about 0.2) keeps
%   its half-size matte.
%
%   ALPHA = MATTEALPHA (..., ALPHA) takes the known pixels' opacity from
%   ALPHA (CODE 3: known, with the opacity ALPHA gives it, which may be
%   fractional) and solves the unknown ones again.
%   [ALPHA, HALF] = MATTEALPHA (...) also gives the image at half size
%   that the coarse matte was made on (empty where there was none).
%   MATTEALPHA (..., ALPHA, OPTS) takes the struct OPTS, any of whose
%   fields may be left out:
%   - direct (false): true solves every unknown pixel at full size, with
%     no coarse matte first;
%   - half ([]): the image at half size, instead of making it again (the
%     same IMG solved once more);
%   - coarse ([]): the coarse matte, made by the caller on HALF over the
%     cells holding an unknown pixel; none is solved here, however few the
%     unknown pixels;
%   - reach (2): the unknown pixels within REACH cells of a mixed one are
%     solved at full size (1 solves about a third fewer, a little less
%     exactly);
%   - prior, weight ([]): H-by-W, a data term: each unknown pixel's opacity
%     is also drawn towards PRIOR with the strength WEIGHT, that is
%     WEIGHT * (alpha - PRIOR)^2 is added to the quadratic form (the
%     coarse matte gets their cell means, where all of a cell's pixels
%     are drawn to one side);
%   - tol (0): above 0, the unknown pixels are solved by conjugate
%     gradients from their opacity in ALPHA (after a coarse matte, from
%     their cell's), preconditioned by an incomplete factorisation and
%     stopped at the relative residual TOL, instead of the factorisation
%     (which takes over should they not converge): from a good start, and
%     where the unknown pixels lie in wide patches, whose factor fills in
%     heavily, in less time.  A strand a pixel wide starts at half its
%     opacity after a coarse matte: at 1e-4 it ends within a hundredth or
%     so of the factorisation's matte, at 2e-3 still near half.
  [h, w, ~] = size (img);
  f = 2;                      % the first, coarse matte's scale
  coarseFrom = 20000;         % ... made for more unknown pixels than this
  if nargin < 6
    alpha = single (code == 2);
  else
    alpha = single (alpha);
    alpha(code == 2) = 1;
    alpha(code == 0) = 0;
  end
  if nargin < 7
    opts = struct ();
  end
  defaults = struct ('direct', false, 'half', [], 'coarse', [], 'reach', 2, 'tol', 0, ...
                     'prior', [], 'weight', []);
  for name = fieldnames (defaults).'
    if ~isfield (opts, name{1})
      opts.(name{1}) = defaults.(name{1});
    end
  end
  half = opts.half;
  if ~opts.direct && (nnz (code == 1) > coarseFrom || ~isempty (opts.coarse)) && min (h, w) >= 8 * f
    [code, u, start, half] = settlePure (img, code, alpha, tile, epsilon, f, half, opts);
    alpha(u) = start;                   % here, where ALPHA is not shared: no copy
    clear u start
  end
  for core = tilesHolding (code == 1, tile).'
    core = core{1};
    rows = max (1, core{1}(1) - margin) : min (h, core{1}(end) + margin);
    cols = max (1, core{2}(1) - margin) : min (w, core{2}(end) + margin);
    crop = unitSamples (img(rows, cols, :));
    data = {};
    if ~isempty (opts.weight)
      data = {double(opts.prior(rows, cols)), double(opts.weight(rows, cols))};
    end
    solved = solveCrop (crop, code(rows, cols), double (alpha(rows, cols)), epsilon, opts.tol, data);
    inner = solved(core{1} - rows(1) + 1, core{2} - cols(1) + 1);
    unknown = code(core{1}, core{2}) == 1;
    part = alpha(core{1}, core{2});
    part(unknown) = inner(unknown);
    alpha(core{1}, core{2}) = part;
  end
end

function [code, u, start, small] = settlePure (img, code, alpha, tile, epsilon, f, small, opts)
% Most unknown pixels of a wide band are pure (opacity 0 or 1): a matte of
% the image F times smaller, solved first, tells which.  The unknown
% pixels farther than REACH cells from any cell whose opacity is fractional
% (or that lies on a jump between 0 and 1) are fixed at their cell's
% opacity (CODE 3); the rest are left to the full solve, starting there.
% (Not rounded to 0 or 1: its own small noise there keeps the full solve
% beside them as it was; rounded, the mixed pixels beside them came out
% worse.)  U lists the unknown pixels, START their opacity from there.
  [h, w, ~] = size (img);
  if isempty (small)
    small = cellMean (img, f);
  end
  % the unknown pixels and their cells (lists: the image's area is not
  % walked again)
  u = find (code == 1);
  ur = mod (u - 1, h) + 1;
  uc = (u - ur) / h + 1;
  at = ceil (ur / f) + (ceil (uc / f) - 1) * ceil (h / f);
  clear ur uc
  smallCode = 3 * ones (ceil (h / f), ceil (w / f), 'uint8');
  smallCode(at) = 1;                   % a cell not wholly known
  a = opts.coarse;
  if isempty (a)
    o = struct ('direct', true);
    if ~isempty (opts.weight)
      % a cell is drawn only where all its pixels are, to one side: a
      % strand a pixel wide, left free, is not drawn with its neighbours.
      % (As strongly as a pixel: this matte only settles the pure pixels;
      % four times as strongly, as the cell's area would have it, gave
      % the same scores.)
      o.prior = cellMean (opts.prior, f);
      whole = cellMean (opts.weight > 0, f) == 1 & (o.prior == 0 | o.prior == 1);
      o.weight = cellMean (opts.weight, f) .* whole;
    end
    a = mattealpha (small, smallCode, tile, 16, epsilon, cellMean (alpha, f), o);
  end
  pure = round (a);
  mixed = abs (a - pure) > 0.1;
  % a jump between neighbouring cells, and then two cells around
  mixed(1:end - 1, :) = mixed(1:end - 1, :) | pure(1:end - 1, :) ~= pure(2:end, :);
  mixed(2:end, :) = mixed(2:end, :) | pure(1:end - 1, :) ~= pure(2:end, :);
  mixed(:, 1:end - 1) = mixed(:, 1:end - 1) | pure(:, 1:end - 1) ~= pure(:, 2:end);
  mixed(:, 2:end) = mixed(:, 2:end) | pure(:, 1:end - 1) ~= pure(:, 2:end);
  mixed = conv2 (double (mixed), ones (2 * opts.reach + 1), 'same') > 0;
  settle = ~mixed(at);
  start = single (a(at));
  code(u(settle)) = 3;
end

function a = solveCrop (I, code, a, epsilon, tol, data)
% The matte of one crop: its unknown pixels solved with its known ones fixed
% at their values in A; by conjugate gradients from their values in A
% where TOL > 0; with the data term DATA = {PRIOR, WEIGHT} unless empty.
  [h, w, ~] = size (I);
  unknown = code == 1;
  n = nnz (unknown);
  if h < 3 || w < 3
    a(unknown) = 0.5;
    return;
  end
  % The window terms only at the centres of windows holding an unknown
  % pixel (within one of one), looked up through the padded crop: a
  % thin band costs its own pixels, not its crop's.
  hp = h + 4;
  near = conv2 (double (unknown), ones (3), 'same') > 0;
  near([1 h], :) = false;
  near(:, [1 w]) = false;
  centres = find (near);
  cr = mod (centres - 1, h);
  at = zeros (hp * (w + 4), 1);
  at(cr + 3 + (centres - 1 - cr) / h * hp + 2 * hp) = 1:numel (centres);
  Q = [zeros(1, 11); windowTerms(I, centres, epsilon)];
  % The pairs of the 12 offsets that raise the index (each pair of pixels
  % up to two apart once) with an unknown pixel; per offset, the window
  % centres shared by a pair lie in a rectangle fixed relative to the
  % first pixel.
  ro = [0 0 1 1 1 1 1 2 2 2 2 2];
  co = [1 2 -2 -1 0 1 2 -2 -1 0 1 2];
  index = zeros (h, w);
  index(unknown) = 1:n;
  u = find (unknown);
  ur = mod (u - 1, h) + 1;
  uc = (u - ur) / h + 1;
  S = cell (12, 1); T = S; V = S;
  for m = 1:12
    dr = ro(m); dc = co(m);
    % an unknown pixel as the first of a pair, or as the second
    first = u(ur + dr <= h & uc + dc >= 1 & uc + dc <= w);
    second = u(ur - dr >= 1 & uc - dc >= 1 & uc - dc <= w) - (dr + dc * h);
    s = unique ([first; second]);
    t = s + dr + dc * h;
    sr = mod (s - 1, h);
    sp = sr + 3 + (s - 1 - sr) / h * hp + 2 * hp;      % s in the padded crop
    q = 0;                                % the window terms summed at s
    for da = max (0, dr) - 1 : min (0, dr) + 1
      for db = max (0, dc) - 1 : min (0, dc) + 1
        q = q + Q(at(sp + da + db * hp) + 1, :);
      end
    end
    Is = [I(s), I(s + h * w), I(s + 2 * h * w)];
    It = [I(t), I(t + h * w), I(t + 2 * h * w)];
    v = q(:, 1) + q(:, 10) ...
        + Is(:, 1) .* It(:, 1) .* q(:, 2) + Is(:, 2) .* It(:, 2) .* q(:, 5) + Is(:, 3) .* It(:, 3) .* q(:, 7) ...
        + (Is(:, 1) .* It(:, 2) + Is(:, 2) .* It(:, 1)) .* q(:, 3) ...
        + (Is(:, 1) .* It(:, 3) + Is(:, 3) .* It(:, 1)) .* q(:, 4) ...
        + (Is(:, 2) .* It(:, 3) + Is(:, 3) .* It(:, 2)) .* q(:, 6) ...
        - (Is(:, 1) + It(:, 1)) .* q(:, 8) - (Is(:, 2) + It(:, 2)) .* q(:, 9) ...
        - (Is(:, 3) + It(:, 3)) .* q(:, 11);
    S{m} = s; T{m} = t; V{m} = v / 9;
  end
  s = vertcat (S{:}); t = vertcat (T{:}); v = vertcat (V{:});
  clear S T V
  % L = D - A over the unknown pixels; the known neighbours go to the right.
  us = unknown(s); ut = unknown(t);
  deg = accumarray ([index(s(us)); index(t(ut))], [v(us); v(ut)], [n, 1]);
  rhs = accumarray ([index(s(us & ~ut)); index(t(ut & ~us))], ...
                    [v(us & ~ut) .* a(t(us & ~ut)); v(ut & ~us) .* a(s(ut & ~us))], [n, 1]);
  both = us & ut;
  lambda = 1e-6;                          % keeps a crop's cut-off pieces solvable
  % Its upper triangle alone: the factorisation reads no more, and the
  % matrix is made in two thirds of the time.
  i = index(s(both));
  j = index(t(both));
  L = sparse ([min(i, j); (1:n).'], [max(i, j); (1:n).'], [-v(both); deg + lambda], n, n);
  clear i j
  b = rhs + lambda * 0.5;
  if ~isempty (data)
    g = data{2}(unknown);
    deg = deg + g;
    L = L + sparse (1:n, 1:n, g, n, n);
    b = b + g .* data{1}(unknown);
  end
  done = false;
  if tol > 0
    % Preconditioned by the incomplete factor of the matrix with its
    % diagonal raised by a hundredth (the matrix is not an M-matrix, whose
    % plain incomplete factor would exist); where even that breaks down,
    % the factorisation below solves it.
    Lt = L.';
    try
      R = ichol (Lt, struct ('type', 'nofill', 'diagcomp', 0.01));
      [x, done] = conjugateGradients (L, Lt, deg + lambda, b, tol, 200, R, a(unknown));
    catch err
      if isempty (strfind (err.message, 'pivot'))
        rethrow (err);
      end
    end
  end
  if ~done
    % Cholesky with a fill-reducing order (the plain backslash takes such a
    % system for a banded one, ten times slower).
    [R, fail, P] = chol (L, 'vector');
    if fail
      L = L + triu (L, 1).';
      x = L \ b;
    else
      x = zeros (n, 1);
      x(P) = R \ (R' \ b(P));
    end
  end
  a(unknown) = min (max (x, 0), 1);
end

function Q = windowTerms (I, centres, epsilon)
% Per window centre CENTRES (inside the crop): 1, the inverse covariance S
% (6 terms: 11 12 13 22 23 33), S * mu (3 terms) and mu' * S * mu, at
% columns 1, 2-7, 8, 9, 11, 10 (see the caller).
  [h, w, ~] = size (I);
  nb = centres + [-1, 0, 1, -h - 1, -h, -h + 1, h - 1, h, h + 1];
  r = I(nb); g = I(nb + h * w); b = I(nb + 2 * h * w);
  box = @(x) sum (x, 2);
  mr = box (r) / 9; mg = box (g) / 9; mb = box (b) / 9;
  e = epsilon / 9;
  c11 = box (r .* r) / 9 - mr .* mr + e;
  c12 = box (r .* g) / 9 - mr .* mg;
  c13 = box (r .* b) / 9 - mr .* mb;
  c22 = box (g .* g) / 9 - mg .* mg + e;
  c23 = box (g .* b) / 9 - mg .* mb;
  c33 = box (b .* b) / 9 - mb .* mb + e;
  i11 = c22 .* c33 - c23 .* c23;
  i12 = c13 .* c23 - c12 .* c33;
  i13 = c12 .* c23 - c13 .* c22;
  i22 = c11 .* c33 - c13 .* c13;
  i23 = c12 .* c13 - c11 .* c23;
  i33 = c11 .* c22 - c12 .* c12;
  d = c11 .* i11 + c12 .* i12 + c13 .* i13;
  i11 = i11 ./ d; i12 = i12 ./ d; i13 = i13 ./ d;
  i22 = i22 ./ d; i23 = i23 ./ d; i33 = i33 ./ d;
  v1 = i11 .* mr + i12 .* mg + i13 .* mb;
  v2 = i12 .* mr + i22 .* mg + i23 .* mb;
  v3 = i13 .* mr + i23 .* mg + i33 .* mb;
  cc = mr .* v1 + mg .* v2 + mb .* v3;
  Q = [ones(size (cc)), i11, i12, i13, i22, i23, i33, v1, v2, cc, v3];
end
