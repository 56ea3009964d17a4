function [img, strokes, truth] = testImage ()
%TESTIMAGE  The jobs' built-in 512-by-512 test image, its strokes and truth.
%   [IMG, STROKES, TRUTH] = TESTIMAGE () gives the test image RWSEGMENT
%   segments when it is given none (coloured regions of non-convex shape
%   under a lighting gradient, with noise strong enough that colour alone
%   does not separate them), its strokes (a struct array with fields kind,
%   xy and radius, as STROKEMASKS takes them) and the regions it was made
%   of (TRUTH, true on the foreground).  The same bits on every call and
%   platform: its noise is HASHNOISE's.
  h = 512; w = 512;
  [u, v] = meshgrid (((1:w) - 0.5) / w, ((1:h) - 0.5) / h);
  [theta, radius] = cart2pol (u - 0.46, v - 0.52);
  truth = radius < 0.24 + 0.08 * cos (5 * theta);
  truth = truth & ((u - 0.64).^2 + (v - 0.44).^2 > 0.075^2);
  upper = v < 0.5 + 0.12 * sin (3 * pi * u);
  colours = [0.66 0.44 0.24;     % foreground
             0.36 0.44 0.62;     % upper background
             0.46 0.60 0.30];    % lower background
  light = 0.8 + 0.4 * u;          % brighter to the right
  img = zeros (h, w, 3);
  for ch = 1:3
    plane = colours(3, ch) * ones (h, w);
    plane(upper) = colours(2, ch);
    plane(truth) = colours(1, ch);
    img(:, :, ch) = plane .* light + 0.1 * reshape (hashNoise (h * w, ch), h, w);
  end
  img = min (max (img, 0), 1);

  % Strokes: one across the flower's heart and into an arm, and one in
  % each background region; (u, v) corners in [0, 1] turned into pixels.
  toPixels = @(uv) [uv(:, 1) * w + 0.5, uv(:, 2) * h + 0.5];
  strokes = struct ('kind', {'fg', 'bg', 'bg'}, ...
                    'xy', {toPixels([0.36 0.52; 0.58 0.52; 0.66 0.62]), ...
                           toPixels([0.08 0.12; 0.40 0.08; 0.90 0.20]), ...
                           toPixels([0.10 0.90; 0.50 0.94; 0.92 0.80])}, ...
                    'radius', 3);
end
