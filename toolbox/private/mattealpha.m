function alpha = mattealpha (img, code, tile, margin, epsilon, alpha)
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
%   offsets, of which PALLANT lists the 12 that raise the index (each pair
%   once).  The sums over windows are sums of per-window quantities over a
%   rectangle of window centres, so each offset's affinities are a few
%   shifted sums of 10 images.  The unknown pixels are solved with the
%   known ones fixed, one TILE-by-TILE square at a time, in a crop MARGIN
%   pixels wider on every side (whose solution is dropped): the sparse
%   system of one crop at a time, never of the whole image.
%
%   ALPHA = MATTEALPHA (..., ALPHA) takes the known pixels' opacity from
%   ALPHA (CODE 3: known, with the opacity ALPHA gives it, which may be
%   fractional) and solves the unknown ones again.
  [h, w, ~] = size (img);
  if nargin < 6
    alpha = single (code == 2);
  else
    alpha = single (alpha);
    alpha(code == 2) = 1;
    alpha(code == 0) = 0;
  end
  [r, c] = find (code == 1);
  if isempty (r)
    return;
  end
  tiles = unique ((ceil (c / tile) - 1) * ceil (h / tile) + ceil (r / tile));
  clear r c
  tr = ceil (h / tile);
  for k = tiles(:).'
    ti = mod (k - 1, tr);
    tj = (k - 1 - ti) / tr;
    core = {(ti * tile + 1):min(h, (ti + 1) * tile), (tj * tile + 1):min(w, (tj + 1) * tile)};
    rows = max (1, core{1}(1) - margin) : min (h, core{1}(end) + margin);
    cols = max (1, core{2}(1) - margin) : min (w, core{2}(end) + margin);
    crop = unit (img(rows, cols, :));
    solved = solveCrop (crop, code(rows, cols), double (alpha(rows, cols)), epsilon);
    inner = solved(core{1} - rows(1) + 1, core{2} - cols(1) + 1);
    unknown = code(core{1}, core{2}) == 1;
    part = alpha(core{1}, core{2});
    part(unknown) = inner(unknown);
    alpha(core{1}, core{2}) = part;
  end
end

function a = solveCrop (I, code, a, epsilon)
% The matte of one crop: its unknown pixels solved with its known ones fixed
% at their values in A.
  [h, w, ~] = size (I);
  unknown = code == 1;
  n = nnz (unknown);
  if h < 3 || w < 3
    a(unknown) = 0.5;
    return;
  end
  Q = windowTerms (I, epsilon);
  % PALLANT lists the pairs of the 12 offsets (each pair of pixels up to two
  % apart once); per offset, the window centres shared by a pair lie in a
  % rectangle fixed relative to the first pixel.
  ro = [0 0 1 1 1 1 1 2 2 2 2 2];
  co = [1 2 -2 -1 0 1 2 -2 -1 0 1 2];
  hp = h + 4;
  Qp = zeros (hp, w + 4, size (Q, 3));
  Qp(3:h + 2, 3:w + 2, :) = Q;
  Qp = reshape (Qp, hp * (w + 4), []);
  index = zeros (h, w);
  index(unknown) = 1:n;
  S = cell (12, 1); T = S; V = S;
  for m = 1:12
    dr = ro(m); dc = co(m);
    [s, t, ~, ~] = pallant (I, int32 (dr), int32 (dc));
    keep = unknown(s) | unknown(t);
    s = s(keep); t = t(keep);
    sr = mod (s - 1, h);
    sp = sr + 3 + (s - 1 - sr) / h * hp + 2 * hp;      % s in the padded crop
    q = 0;                                % the window terms summed at s
    for da = max (0, dr) - 1 : min (0, dr) + 1
      for db = max (0, dc) - 1 : min (0, dc) + 1
        q = q + Qp(sp + da + db * hp, :);
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
  L = sparse ([index(s(both)); index(t(both)); (1:n).'], [index(t(both)); index(s(both)); (1:n).'], ...
              [-v(both); -v(both); deg + lambda], n, n);
  % Cholesky with a fill-reducing order (the plain backslash takes such a
  % system for a banded one, ten times slower).
  [R, fail, P] = chol (L, 'vector');
  if fail
    x = L \ (rhs + lambda * 0.5);
  else
    x = zeros (n, 1);
    x(P) = R \ (R' \ (rhs(P) + lambda * 0.5));
  end
  a(unknown) = min (max (x, 0), 1);
end

function Q = windowTerms (I, epsilon)
% Per window centre (zero where the 3-by-3 window leaves the crop): 1, the
% inverse covariance S (6 terms: 11 12 13 22 23 33), S * mu (3 terms) and
% mu' * S * mu, at columns 1, 2-7, 8, 9, 11, 10 (see the caller).
  [h, w, ~] = size (I);
  box = @(x) x(1:end - 2, 1:end - 2) + x(2:end - 1, 1:end - 2) + x(3:end, 1:end - 2) + ...
             x(1:end - 2, 2:end - 1) + x(2:end - 1, 2:end - 1) + x(3:end, 2:end - 1) + ...
             x(1:end - 2, 3:end) + x(2:end - 1, 3:end) + x(3:end, 3:end);
  r = I(:, :, 1); g = I(:, :, 2); b = I(:, :, 3);
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
  Q = zeros (h, w, 11);
  terms = {ones(h - 2, w - 2), i11, i12, i13, i22, i23, i33, v1, v2, cc, v3};
  for k = 1:11
    Q(2:h - 1, 2:w - 1, k) = terms{k};
  end
end

function x = unit (x)
  if isinteger (x)
    x = double (x) / double (intmax (class (x)));
  else
    x = double (x);
  end
end
