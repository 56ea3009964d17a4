function cases = hard_cases (h, kinds, set)
%HARD_CASES  Composites that hold the errors colour priors alone make.
%   CASES = HARD_CASES (H) makes, H pixels high (16:10, bilinearly resized
%   from the 2560-by-1600 wallpapers of Debian's plasma-workspace-wallpapers
%   package, /usr/share/wallpapers), cases of three kinds, each with the
%   composite (IMG, values in [0, 1]), the object (TRUTH), strokes as a
%   person paints them, a NAME and its KIND:
%   - 'parts': six blobs cut out of one photograph over another; foreground
%     strokes on two of them only, a background stroke around and between
%     them.  Every blob is the object.
%   - 'texture': the same blobs and strokes, of one texture: the middle
%     third of a photograph, mirrored into each third of the picture, so
%     that every blob holds the same stuff, some of it under no stroke.
%   - 'islands': a blob of one photograph over another whose own content
%     holds the object's colours far from every stroke (clouds, sky,
%     leaves); one foreground stroke, background strokes around it.
%   - 'focus': a photograph in focus inside the shape, over the same
%     photograph mirrored and out of focus (a Gaussian blur of a 100th of
%     the height): one palette, told apart by sharpness alone.
%   - 'soft': a ring of one photograph over another through an edge
%     blurred over 6 pixels of 1600.
%   CASES = HARD_CASES (H, KINDS) makes only the kinds in the cell KINDS.
%   CASES = HARD_CASES (H, KINDS, 'held-out') makes the same kinds from
%   other pairs of the same photographs (the wallpapers hold no others), none
%   of which the defaults were chosen on: a check that they were not fitted
%   to the pairs above.
%   CASES = HARD_CASES (H, KINDS, 'fresh') makes them from the nature
%   photographs of Debian's mate-backgrounds package instead
%   (/usr/share/backgrounds/mate/nature; each cropped about its centre to
%   16:10 first), which nothing here was developed on: several are
%   themselves shot with a shallow focus, over blurred backgrounds of
%   their own colours.
%   An empty struct array where the wallpapers are not installed.
  if nargin < 2
    kinds = {'parts', 'texture', 'islands', 'focus', 'soft'};
  end
  if nargin < 3
    set = 'developed';
  end
  list = {'parts', 'ColorfulCups', 'Path'; 'parts', 'OneStandsOut', 'summer_1am'; ...
          'parts', 'Autumn', 'FallenLeaf'; ...
          'texture', 'FallenLeaf', 'Path'; 'texture', 'ColorfulCups', 'Autumn'; ...
          'islands', 'Kite', 'BytheWater'; 'islands', 'FallenLeaf', 'Autumn'; ...
          'islands', 'EveningGlow', 'Kite'; ...
          'focus', 'FallenLeaf', ''; 'focus', 'Path', ''; 'focus', 'BytheWater', ''; ...
          'soft', 'EveningGlow', 'ColdRipple'; 'soft', 'Grey', 'DarkestHour'};
  if strcmp (set, 'held-out')
    list = {'parts', 'EveningGlow', 'Autumn'; 'parts', 'BytheWater', 'ColdRipple'; ...
            'parts', 'Kite', 'DarkestHour'; ...
            'texture', 'Autumn', 'Kite'; 'texture', 'OneStandsOut', 'BytheWater'; ...
            'islands', 'Path', 'Kite'; 'islands', 'summer_1am', 'OneStandsOut'; ...
            'islands', 'ColdRipple', 'EveningGlow'; ...
            'focus', 'Autumn', ''; 'focus', 'Kite', ''; 'focus', 'ColorfulCups', ''; ...
            'focus', 'OneStandsOut', ''; ...
            'soft', 'FallenLeaf', 'Grey'; 'soft', 'DarkestHour', 'Path'};
  end
  if strcmp (set, 'fresh')
    list = {'parts', 'FreshFlower', 'GreenMeadow'; 'parts', 'LadyBird', 'Dune'; ...
            'texture', 'Wood', 'Storm'; 'texture', 'Blinds', 'Garden'; ...
            'islands', 'YellowFlower', 'Garden'; 'islands', 'Aqua', 'Storm'; ...
            'focus', 'LadyBird', ''; 'focus', 'RainDrops', ''; 'focus', 'TwoWings', ''; ...
            'focus', 'Dune', ''; 'focus', 'Garden', ''; ...
            'soft', 'TwoWings', 'Aqua'; 'soft', 'Dune', 'RainDrops'};
  end
  cases = struct ('name', {}, 'kind', {}, 'img', {}, 'truth', {}, 'strokes', {});
  w = round (h * 1.6);
  for k = 1:size (list, 1)
    kind = list{k, 1};
    if ~any (strcmp (kind, kinds))
      continue;
    end
    a = photo (list{k, 2}, 0, h, w);
    if strcmp (kind, 'focus')
      b = photo (list{k, 2}, 16, h, w);
      b = b(:, end:-1:1, :);
      name = sprintf ('focus %s over itself blurred', list{k, 2});
    else
      b = photo (list{k, 3}, 0, h, w);
      name = sprintf ('%s %s on %s', kind, list{k, 2}, list{k, 3});
    end
    if isempty (a) || isempty (b)
      continue;
    end
    if strcmp (kind, 'texture')
      a = a(thirds (h), thirds (w), :);
    end
    [cover, truth, strokes] = shape (kind, h, w);
    img = a .* cover + b .* (1 - cover);
    cases(end + 1) = struct ('name', name, 'kind', kind, 'img', img, 'truth', truth, ...
                             'strokes', strokes);
  end
end

function at = thirds (n)
% Indices 1..N that run through the middle third of 1..N forwards,
% backwards, forwards: each third of the picture a mirror of the next.
  first = floor (n / 3) + 1;
  last = floor (2 * n / 3);
  span = last - first + 1;
  k = 0:n - 1;
  turn = mod (floor (k / span), 2);
  step = mod (k, span);
  at = first + step + turn .* (span - 1 - 2 * step);
end

function img = photo (name, blur, h, w)
% The wallpaper NAME at H-by-W (a photograph of mate-backgrounds' nature
% folder where the wallpapers hold none of that name, cropped about its
% centre to 16:10), blurred first (at its own size) by a Gaussian of BLUR
% pixels of a width of 2560 (0: none).
  file = fullfile ('/usr/share/wallpapers', name, 'contents', 'images', '2560x1600.jpg');
  if ~exist (file, 'file')
    file = fullfile ('/usr/share/backgrounds/mate/nature', [name '.jpg']);
  end
  img = [];
  if ~exist (file, 'file')
    return;
  end
  img = double (imread (file)) / 255;
  [H, W, ~] = size (img);
  keep = min (H, round (W / 1.6));
  img = img(floor ((H - keep) / 2) + (1:keep), :, :);
  keep = min (W, round (size (img, 1) * 1.6));
  img = img(:, floor ((W - keep) / 2) + (1:keep), :);
  blur = blur * size (img, 2) / 2560;
  if blur > 0
    t = -ceil (3 * blur):ceil (3 * blur);
    g = exp (-t.^2 / (2 * blur^2));
    g = g / sum (g);
    r = numel (t) - 1;
    for ch = 1:3
      p = img(:, :, ch);
      p = p([ones(1, r / 2), 1:end, end * ones(1, r / 2)], :);
      p = p(:, [ones(1, r / 2), 1:end, end * ones(1, r / 2)]);
      img(:, :, ch) = conv2 (g, g, p, 'valid');
    end
  end
  img = resized (img, h, w);
end


function [cover, truth, strokes] = shape (kind, h, w)
% The shape's cover of every pixel, the shape, and the strokes, in units
% of the height about the centre.
  [x, y] = meshgrid (((1:w) - 0.5 - w / 2) / h, ((1:h) - 0.5 - h / 2) / h);
  toPixels = @(p) [p(:, 1) * h + w / 2 + 0.5, p(:, 2) * h + h / 2 + 0.5];
  radius = w / 400;
  t = linspace (0, 2 * pi, 80).';
  around = toPixels ([0.47 * cos(t) * w / h * 0.95, 0.45 * sin(t)]);
  ramp = 1;
  switch kind
    case {'parts', 'texture'}
      centres = [-0.50 -0.22; -0.05 -0.25; 0.45 -0.20; -0.40 0.22; 0.08 0.24; 0.52 0.20];
      sizes = [0.13 0.11 0.12 0.10 0.13 0.09];
      edge = -inf (h, w);
      for j = 1:size (centres, 1)
        [theta, rho] = cart2pol (x - centres(j, 1), y - centres(j, 2));
        edge = max (edge, sizes(j) * (1 + 0.2 * cos (4 * theta + j)) - rho);
      end
      fg = {toPixels(centres(1, :) + [-0.05 0; 0.05 0.02]), toPixels(centres(5, :) + [0 -0.05; 0.02 0.05])};
      % around the blobs, clear of them: a squarer loop than the ellipse
      c = cos (t);
      s = sin (t);
      around = toPixels ([0.74 * sign(c) .* sqrt(abs(c)), 0.46 * sign(s) .* sqrt(abs(s))]);
      bg = {around, toPixels([-0.75 0; 0.75 0]), toPixels([-0.25 -0.35; -0.22 0.35]), ...
            toPixels([0.27 -0.35; 0.30 0.35])};
    case 'soft'
      [theta, rho] = cart2pol (x, y);
      edge = min (0.36 + 0.03 * sin (4 * theta + 0.3) - rho, rho - 0.16 - 0.02 * cos (3 * theta));
      s = linspace (0.2, 2 * pi - 0.4, 60).';
      fg = {toPixels([0.26 * cos(s), 0.26 * sin(s)])};
      bg = {around, toPixels([-0.06 0; 0.06 0.02])};
      ramp = 6 * h / 1600;
    otherwise
      [theta, rho] = cart2pol (x + 0.1, y - 0.03);
      edge = 0.28 + 0.08 * cos (5 * theta) + 0.02 * sin (9 * theta) - rho;
      s = linspace (0.3, 2 * pi - 0.3, 50).';
      fg = {toPixels([0.11 * cos(s) - 0.1, 0.11 * sin(s) + 0.03])};
      bg = {around};
  end
  truth = edge >= 0;
  cover = min (max (edge * h / ramp + 0.5, 0), 1);
  strokes = struct ('kind', [repmat({'fg'}, 1, numel (fg)), repmat({'bg'}, 1, numel (bg))], ...
                    'xy', [fg, bg], 'radius', radius);
end
