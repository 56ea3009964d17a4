function c = matte_composites (k, mp)
%MATTE_COMPOSITES  A composite of two photographs through a known soft alpha.
%   C = MATTE_COMPOSITES (K, MP) lays photograph A of pair K over photograph B
%   at MP megapixels (the wallpapers of Debian's plasma-workspace-wallpapers,
%   2560-by-1600, scaled bilinearly; photo_like's scene where they are not
%   installed) through an alpha with
%   - an outline (a five-lobed blob, K = 1, or a ring, K = 2 and beyond)
%     blurred over 1 to 16 pixels at 12 megapixels, the width changing
%     along the outline;
%   - hair-like strands of partial alpha, 1 to 3 pixels wide, growing out
%     of the outline up to 150 pixels at 12 megapixels, curling, fading
%     towards their tips.
%   Widths and lengths scale with the image.  C has IMG (the composite, H-
%   by-W-by-3 in [0, 1]), ALPHA, FG and BG (the two photographs), NEWBG
%   (a third photograph, for laying the cut-out over), TRIMAP (the
%   benchmark trimap: unknown, 0.5, where alpha is fractional and 10
%   pixels around it, 1 on the rest of the object, 0 on the rest of the
%   background), BAND (its unknown pixels), STROKES (a person's strokes:
%   one through the object, one around it, one in a ring's hole) and NAME.
%   Deterministic.
  pairs = {'FallenLeaf', 'Path', 'ColorfulCups'; 'EveningGlow', 'OneStandsOut', 'Kite'; ...
           'ColorfulCups', 'Kite', 'BytheWater'; 'Path', 'summer_1am', 'FallenLeaf'};
  k = mod (k - 1, size (pairs, 1)) + 1;
  h = round (sqrt (mp * 1e6 / 1.6));
  w = round (h * 1.6);
  c.fg = photo (pairs{k, 1}, h, w, 1);
  c.bg = photo (pairs{k, 2}, h, w, 2);
  c.newbg = photo (pairs{k, 3}, h, w, 3);
  s = h / 2738;                             % 1 at 12 megapixels
  [x, y] = meshgrid (((1:w) - 0.5 - w / 2) / h, ((1:h) - 0.5 - h / 2) / h);
  [theta, radius] = cart2pol (x, y);
  clear x y
  ring = mod (k, 2) == 0;
  if ring
    outer = 0.34 + 0.03 * sin (4 * theta + 0.3);
    inner = 0.15 + 0.02 * cos (3 * theta);
    edge = min (outer - radius, radius - inner) * h;
  else
    outer = 0.30 + 0.08 * cos (5 * theta);
    edge = (outer - radius) * h;
  end
  blur = s * (1 + 15 * (0.5 + 0.5 * sin (3 * theta + k)));   % 1 to 16 px
  a = min (max (edge ./ blur + 0.5, 0), 1);
  clear edge blur radius theta
  a = max (a, strands (h, w, s, k, ring));
  c.alpha = a;
  c.img = c.fg .* a + c.bg .* (1 - a);
  mixed = a > 0 & a < 1;
  near = dilate (mixed, round (10));
  c.band = near;
  c.trimap = double (a >= 1);
  c.trimap(near) = 0.5;
  c.name = sprintf ('%s over %s (%s), %.1f MP', pairs{k, 1}, pairs{k, 2}, ...
                    ifelseText (ring, 'ring', 'blob'), h * w / 1e6);
  % Strokes: through the object, around it, in the hole.
  t = linspace (0.2, 2 * pi - 0.4, 60).';
  toPixels = @(p) [p(:, 1) * h + w / 2 + 0.5, p(:, 2) * h + h / 2 + 0.5];
  if ring
    mid = 0.245;
  else
    mid = 0.12;
  end
  through = toPixels ([mid * cos(t), mid * sin(t)]);
  t = linspace (0, 2 * pi, 80).';
  around = toPixels ([0.47 * cos(t) * w / h * 0.95, 0.47 * sin(t)]);
  c.strokes = struct ('kind', {'fg', 'bg'}, 'xy', {through, around}, 'radius', w / 400);
  if ring
    c.strokes(3) = struct ('kind', 'bg', 'xy', toPixels ([-0.04 0; 0.04 0.01]), 'radius', w / 400);
  end
end

function t = ifelseText (c, a, b)
  if c
    t = a;
  else
    t = b;
  end
end

function a = strands (h, w, s, k, ring)
% Hair: curves from the outline outwards, Gaussian across (sigma 0.5 to
% 1.5 px), opacity 0.9 at the root fading to 0.2 at the tip.
  n = 160;
  rnd = @(m) mod (sin ((1:m).' * 12.9898 + k * 78.233) * 43758.5453, 1);
  u = rnd (6 * n);
  u = reshape (u, n, 6);
  a = zeros (h, w);
  for j = 1:n
    th0 = 2 * pi * u(j, 1);
    if ring
      r0 = 0.34 + 0.03 * sin (4 * th0 + 0.3);
    else
      r0 = 0.30 + 0.08 * cos (5 * th0);
    end
    len = s * (40 + 110 * u(j, 2));          % up to 150 px
    sig = s * (0.5 + u(j, 3));
    curl = (u(j, 4) - 0.5) * 3 / len;
    m = ceil (len * 2);
    d = (0:m - 1).' / 2;                     % along the strand, px
    dir = th0 + (u(j, 5) - 0.5) * 0.8 + curl * d;
    px = w / 2 + 0.5 + r0 * h * cos (th0) - s * 3 * cos (th0) + cumsum (cos (dir)) / 2;
    py = h / 2 + 0.5 + r0 * h * sin (th0) - s * 3 * sin (th0) + cumsum (sin (dir)) / 2;
    peak = 0.9 - 0.7 * d / len;
    rad = ceil (3 * sig);
    [oy, ox] = ndgrid (-rad:rad, -rad:rad);
    cy = round (py) + oy(:).';
    cx = round (px) + ox(:).';
    val = peak .* exp (-((cy - py) .^ 2 + (cx - px) .^ 2) / (2 * sig ^ 2));
    ok = cy >= 1 & cy <= h & cx >= 1 & cx <= w;
    idx = cy(ok) + (cx(ok) - 1) * h;
    v = accumarray (idx, val(ok), [], @max);
    at = find (v);
    a(at) = max (a(at), v(at));
  end
  a(a < 0.01) = 0;
end

function out = dilate (m, r)
% Within R pixels (a disc): for each row offset, a run of columns.
  [h, w] = size (m);
  cs = [zeros(h, 1), cumsum(double(m), 2)];
  out = false (h, w);
  for dy = -r:r
    half = floor (sqrt (r ^ 2 - dy ^ 2));
    hi = min (w, (1:w) + half);
    lo = max (0, (1:w) - half - 1);
    runs = (cs(:, hi + 1) - cs(:, lo + 1)) > 0;
    src = max (1, 1 + dy) : min (h, h + dy);
    out(src - dy, :) = out(src - dy, :) | runs(src, :);
  end
end

function img = photo (name, h, w, which)
  file = fullfile ('/usr/share/wallpapers', name, 'contents', 'images', '2560x1600.jpg');
  if exist (file, 'file')
    src = double (imread (file)) / 255;
  else
    src = photo_like (400, 640);
    src = src(:, end:-1:1, [which:3, 1:which - 1]);
  end
  img = resized (src, h, w);
end

