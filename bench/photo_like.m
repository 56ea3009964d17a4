function [img, strokes, truth] = photo_like (h, w)
%PHOTO_LIKE  A photograph-like test image of H-by-W pixels with its strokes.
%   [IMG, STROKES, TRUTH] = PHOTO_LIKE (H, W) makes the same scene at any
%   size: a ring-shaped object with a wavy outline over a background of two
%   textured regions, both with colour that drifts across the picture, an
%   object whose colours overlap the background's in places, soft edges
%   (the outline blurred over about a pixel and a half, as a lens does),
%   vignetting, and grain.  STROKES are a person's strokes over it (fields
%   kind, xy and radius, in pixels of this size; the radius a 400th of the
%   width), TRUTH the object.  Made from a hash of the position (the
%   toolbox's own HASHNOISE, which the built-in test image is made from:
%   run it from the toolbox's private folder, TOOLBOX_PARTS), so the same
%   in every run and host, and the scene the same at every size.
  [u, v] = meshgrid (((1:w) - 0.5) / w, ((1:h) - 0.5) / h);
  aspect = w / h;
  x = (u - 0.5) * aspect;                          % square units, height 1
  y = v - 0.5;
  [theta, radius] = cart2pol (x + 0.05, y - 0.02);
  outer = 0.36 + 0.025 * sin (5 * theta) + 0.015 * cos (11 * theta + 1);
  inner = 0.17 + 0.02 * cos (3 * theta + 0.5);
  clear u v
  % The fraction of each pixel the object covers: the distance to the
  % outline in pixels, through a ramp 1.5 pixels wide.
  edge = min (outer - radius, radius - inner) * h;
  truth = edge >= 0;
  cover = min (max (edge / 1.5 + 0.5, 0), 1);
  clear edge theta radius outer inner

  % Colour fields: drifting colour (a few waves across the picture) plus
  % texture from smooth noise at three scales.
  upper = y < 0.12 * sin (2 * pi * x / aspect + 0.7) - 0.1;
  img = zeros (h, w, 3);
  base = [0.72 0.50 0.30; 0.42 0.50 0.62; 0.52 0.58 0.34];   % object, upper, lower
  for ch = 1:3
    drift = 0.10 * sin (3 * x + 2 * ch) .* cos (2 * y - ch);
    tex = 0.06 * smoothNoise (h, w, 12, ch) + 0.04 * smoothNoise (h, w, 60, ch + 3) + ...
          0.03 * smoothNoise (h, w, 300, ch + 6);
    back = base(3, ch) * ones (h, w);
    back(upper) = base(2, ch);
    objTex = 0.06 * smoothNoise (h, w, 40, ch + 9) + 0.04 * smoothNoise (h, w, 200, ch + 12);
    img(:, :, ch) = (back + drift + tex) .* (1 - cover) + ...
                    (base(1, ch) - 0.5 * drift + objTex) .* cover;
  end
  clear drift tex back objTex cover upper
  light = 1.05 - 0.35 * (x.^2 + y.^2);
  clear x y
  for ch = 1:3
    img(:, :, ch) = min (max (img(:, :, ch) .* light + 0.025 * grain (h, w, ch), 0), 1);
  end

  % Strokes, in units of the height about the centre, turned into pixels.
  toPixels = @(p) [(p(:, 1) / aspect + 0.5) * w + 0.5, (p(:, 2) + 0.5) * h + 0.5];
  t = linspace (0, 2 * pi, 40).';
  ring = [0.265 * cos(t) - 0.05, 0.265 * sin(t) + 0.02];
  strokes = struct ('kind', {'fg', 'bg', 'bg', 'bg'}, ...
                    'xy', {toPixels(ring(5:32, :)), ...
                           toPixels([-0.10 0.00; -0.02 0.04; 0.00 0.05]), ...
                           toPixels([-0.60 -0.42; 0.00 -0.46; 0.55 -0.40]), ...
                           toPixels([-0.62 0.30; -0.50 0.45; 0.10 0.46; 0.58 0.40; 0.60 -0.10])}, ...
                    'radius', w / 400);
end

function n = smoothNoise (h, w, cells, stream)
% Noise of mean 0 that varies smoothly over about H/CELLS pixels: hash
% values on a grid CELLS high, interpolated bilinearly and twice smoothed.
  gh = cells + 3;
  gw = ceil (cells * w / h) + 3;
  grid = reshape (hashNoise (gh * gw, stream), gh, gw);
  grid = conv2 (grid, ones (3) / 9, 'same');
  n = interpolate (grid, h, w) * 2;
end

function m = interpolate (grid, h, w)
% GRID stretched bilinearly over H-by-W pixels, as two sparse products.
  [gh, gw] = size (grid);
  down = stretch (h, gh);
  across = stretch (w, gw).';
  m = (down * grid) * across;
end

function A = stretch (n, cells)
  at = ((1:n).' - 0.5) / n * (cells - 3) + 2;
  lo = floor (at);
  t = at - lo;
  A = sparse ([1:n, 1:n], [lo; lo + 1], [1 - t; t], n, cells);
end

function g = grain (h, w, stream)
% Noise of mean 0 and variance 1 from pixel to pixel: a 509-by-509 tile of
% hash values (a prime side, so that no period lines up with the picture's
% own sizes), repeated.
  tile = reshape (hashNoise (509 * 509, 20 + stream), 509, 509);
  g = tile(mod (0:h - 1, 509) + 1, mod (0:w - 1, 509) + 1);
end
