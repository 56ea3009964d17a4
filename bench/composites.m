function cases = composites (scale)
%COMPOSITES  Photographic test cases with a known answer, from wallpapers.
%   CASES = COMPOSITES () cuts a shape (a ring, or a five-lobed blob) out of
%   one photograph and lays it over another, for six pairs of the
%   photographs of Debian's plasma-workspace-wallpapers package
%   (/usr/share/wallpapers; apt-get install plasma-workspace-wallpapers),
%   at their own 2560-by-1600 pixels.  Each case has the composite (IMG,
%   values in [0, 1]), the shape (TRUTH), strokes as a person would paint
%   them (a foreground stroke through the shape, background strokes around
%   it and in its hole) and a NAME.  The cut is softened over a pixel, as a
%   lens would.  COMPOSITES (SCALE) resizes every photograph by SCALE first
%   (bilinearly; SCALE 1.5 gives 3840-by-2400, 9.2 megapixels).
%   An empty struct array where the wallpapers are not installed.
  if nargin < 1
    scale = 1;
  end
  root = '/usr/share/wallpapers';
  pairs = {'FallenLeaf', 'Path', 'ring'; 'EveningGlow', 'OneStandsOut', 'blob'; ...
           'ColorfulCups', 'Kite', 'ring'; 'Path', 'summer_1am', 'blob'; ...
           'OneStandsOut', 'FallenLeaf', 'ring'; 'BytheWater', 'EveningGlow', 'blob'};
  cases = struct ('name', {}, 'img', {}, 'truth', {}, 'strokes', {});
  for k = 1:size (pairs, 1)
    a = photo (root, pairs{k, 1}, scale);
    b = photo (root, pairs{k, 2}, scale);
    if isempty (a) || isempty (b)
      continue;
    end
    [h, w, ~] = size (a);
    [cover, truth, strokes] = shape (pairs{k, 3}, h, w);
    img = a .* cover + b .* (1 - cover);
    cases(end + 1) = struct ('name', sprintf ('%s %s on %s', pairs{k, 3}, pairs{k, 1}, pairs{k, 2}), ...
                             'img', img, 'truth', truth, 'strokes', strokes);
  end
end

function img = photo (root, name, scale)
  file = fullfile (root, name, 'contents', 'images', '2560x1600.jpg');
  img = [];
  if ~exist (file, 'file')
    return;
  end
  img = double (imread (file)) / 255;
  if scale ~= 1
    img = resized (img, round (size (img, 1) * scale), round (size (img, 2) * scale));
  end
end


function [cover, truth, strokes] = shape (kind, h, w)
% The shape's cover of every pixel (a ramp a pixel wide), the shape, and
% strokes: one through the shape, one around it, one in the hole.
  [x, y] = meshgrid (((1:w) - 0.5 - w / 2) / h, ((1:h) - 0.5 - h / 2) / h);
  [theta, radius] = cart2pol (x, y);
  if strcmp (kind, 'ring')
    outer = 0.36 + 0.03 * sin (4 * theta + 0.3);
    inner = 0.16 + 0.02 * cos (3 * theta);
    edge = min (outer - radius, radius - inner);
    middle = @(t) 0.26 + 0 * t;
  else
    outer = 0.30 + 0.10 * cos (5 * theta);
    edge = outer - radius;
    middle = @(t) 0.10 + 0.05 * cos (5 * t);
  end
  truth = edge >= 0;
  cover = min (max (edge * h + 0.5, 0), 1);
  t = linspace (0.2, 2 * pi - 0.4, 60).';
  toPixels = @(p) [p(:, 1) * h + w / 2 + 0.5, p(:, 2) * h + h / 2 + 0.5];
  through = toPixels ([middle(t) .* cos(t), middle(t) .* sin(t)]);
  t = linspace (0, 2 * pi, 80).';
  around = toPixels ([0.47 * cos(t) * w / h * 0.95, 0.45 * sin(t)]);
  strokes = struct ('kind', {'fg', 'bg'}, 'xy', {through, around}, 'radius', w / 400);
  if strcmp (kind, 'ring')
    strokes(3) = struct ('kind', 'bg', 'xy', toPixels ([-0.06 0; 0.06 0.02]), 'radius', w / 400);
  end
end
