% The built MEX files beside what an Octave user writes instead, in one
% Octave process: results checked equal (kestrow within rounding), then
% timed.  The MEX files' figures are medians of RUNS runs; the vectorised
% alternatives' are the best of RUNS runs made back to back.  pallant is also
% timed against the host floor: host_floor, a MEX file of the benchmarks' own
% that only creates and fills four E-by-1 outputs, timed alternately with
% pallant so both meet the same state of the heap.
%
% Run by bench/run, with build-bench/octave and build-bench/bench-octave on
% the path.  Prints Markdown tables.
1;

function s = runs_text (t)
  s = strjoin (arrayfun (@(x) sprintf ('%.1f', x), t, 'UniformOutput', false), ' ');
end

% What a good Octave user writes instead of pallant: the valid (pixel,
% offset) pairs as a mask with one row per offset, read column by column,
% which is source pixel, then offset position: no sort needed.
function [s, t, colour, len] = vectorised_edges (img, roffset, coffset)
  [H, W, D] = size (img);
  r = double (roffset(:)); c = double (coffset(:));
  n = numel (r);
  [I, J] = ndgrid (1:H, 1:W);
  I = I(:).'; J = J(:).';
  valid = (I + r >= 1) & (I + r <= H) & (J + c >= 1) & (J + c <= W);  % n-by-HW
  P = repmat (1:H*W, n, 1);
  s = P(valid);
  T = P + (r + c*H);
  t = T(valid);
  K = repmat ((1:n).', 1, H*W);
  k = K(valid);
  X = reshape (img, H*W, D);
  d = X(s,:) - X(t,:);
  colour = sum (d .* d, 2);
  len = r(k).^2 + c(k).^2;
end

function check (ok, what)
  if (! ok)
    error ('compare: %s differ', what);
  end
end

runs = str2double (getenv ('RUNS'));  % default 7
if (isnan (runs) || runs < 1)
  runs = 7;
end
rand ('state', 1);

% ---- pallant -------------------------------------------------------------
H = 1000; W = 1000;
img = rand (H, W, 3);
r = int32 ([-1; 0; 1; -1; 1; -1; 0; 1]);
c = int32 ([-1; -1; -1; 0; 0; 1; 1; 1]);
[s, t, colour, len] = pallant (img, r, c);
[s2, t2, colour2, len2] = vectorised_edges (img, r, c);
check (isequal (s, s2) && isequal (t, t2) && isequal (colour, colour2) && isequal (len, len2), ...
       'pallant and the vectorised edges');
E = numel (s);
A = uint32 (s); B = uint32 (t);   % modrick's reference pairs, below
clear s t colour len s2 t2 colour2 len2

% pallant and the host floor alternate, at least 11 times: each pair meets
% the same state of the heap, so the median of the pairs' ratios is the
% steadier figure.  Each time ends once the four outputs are taken; they are
% cleared after.
pairs = max (runs, 11);
tp = zeros (1, pairs); tf = zeros (1, pairs); tv = zeros (1, runs);
for k = 1:pairs
  t0 = tic (); [o1, o2, o3, o4] = host_floor (E); tf(k) = 1e3 * toc (t0);
  clear o1 o2 o3 o4
  t0 = tic (); [o1, o2, o3, o4] = pallant (img, r, c); tp(k) = 1e3 * toc (t0);
  clear o1 o2 o3 o4
end
for k = 1:runs
  t0 = tic (); [o1, o2, o3, o4] = vectorised_edges (img, r, c); tv(k) = 1e3 * toc (t0);
  clear o1 o2 o3 o4
end

printf ('| pallant, %dx%dx3, 8 offsets, E = %d | ms | runs (ms) | ratio |\n', H, W, E);
printf ('|---|---:|---|---:|\n');
printf ('| pallant (median) | %.1f | %s | %.3f x host floor (median of the pairs; ratio of the medians %.3f) |\n', ...
        median (tp), runs_text (tp), median (tp ./ tf), median (tp) / median (tf));
printf ('| host floor: four E-by-1 outputs made and filled (median) | %.1f | %s | pairs: %s |\n', median (tf), ...
        runs_text (tf), strjoin (arrayfun (@(x) sprintf ('%.2f', x), tp ./ tf, 'UniformOutput', false), ' '));
printf ('| vectorised Octave: ndgrid, masks (best) | %.1f | %s | %.2f x pallant |\n', min (tv), runs_text (tv), ...
        min (tv) / median (tp));
printf ('\n');

% ---- kestrow -------------------------------------------------------------
printf ('| kestrow, D-by-N | kestrow (median ms) | runs (ms) | d = X - MU; K*exp(-0.5*sum(d.*(IS*d), 1)) (best ms) | runs (ms) | vectorised / kestrow |\n');
printf ('|---|---:|---|---:|---|---:|\n');
for D = [1 2 3 8 16 32]
  N = 3e6 / D;
  X = rand (D, N);
  MU = rand (D, 1);
  G = rand (D);
  S = G * G.' / D + 0.1 * eye (D);
  IS = inv (S);
  K = 1 / sqrt ((2*pi)^D * det (S));
  v = kestrow (X, MU, IS, K);
  d = X - MU; w = K*exp (-0.5*sum (d.*(IS*d), 1));
  check (all (abs (v - w) <= 1e-10 * abs (w)), sprintf ('kestrow and the vectorised line at D = %d', D));
  tk = zeros (1, runs); tg = zeros (1, runs);
  for k = 1:runs
    t0 = tic (); v = kestrow (X, MU, IS, K); tk(k) = 1e3 * toc (t0);
    clear v
  end
  for k = 1:runs
    t0 = tic (); d = X - MU; w = K*exp (-0.5*sum (d.*(IS*d), 1)); tg(k) = 1e3 * toc (t0);
    clear d w
  end
  printf ('| %d-by-%d | %.2f | %s | %.2f | %s | %.2f |\n', D, N, median (tk), runs_text (tk), min (tg), ...
          runs_text (tg), min (tg) / median (tk));
end
clear X MU G S IS
printf ('\n');

% ---- modrick -------------------------------------------------------------
C = A(1:2:end); D = B(1:2:end);
P = modrick (A, B, C, D);
[found, index] = ismember ([C D], [A B], 'rows');
check (all (found) && isequal (double (P), index(:)), 'modrick and ismember');
tm = zeros (1, runs); ti = zeros (1, runs);
for k = 1:runs
  t0 = tic (); P = modrick (A, B, C, D); tm(k) = 1e3 * toc (t0);
  clear P
end
for k = 1:runs
  t0 = tic (); [found, index] = ismember ([C D], [A B], 'rows'); ti(k) = 1e3 * toc (t0);
  clear found index
end
printf ('| modrick, %d reference pairs (pallant''s), %d queries | ms | runs (ms) | ratio |\n', numel (A), numel (C));
printf ('|---|---:|---|---:|\n');
printf ('| modrick (median) | %.2f | %s | |\n', median (tm), runs_text (tm));
printf ('| [found, index] = ismember([C D], [A B], ''rows'') (best) | %.1f | %s | %.1f x modrick |\n', min (ti), ...
        runs_text (ti), min (ti) / median (tm));
