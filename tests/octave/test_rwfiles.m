% rwsegment on the image files users have, written here with imwrite,
% ImageMagick's convert and exiftool: every kind gives the labels of its RGB
% twin (exactly, or for a JPEG made another way within a few pixels); the
% mask and the cut-out hold exactly the returned labels and the photograph;
% a wide photograph's picture is scaled down to 3,200 pixels, in 8 bits.
here = fileparts (mfilename ('fullpath'));
addpath (fullfile (here, '..', '..', 'toolbox'));
cd (fullfile (here, '..', '..', 'toolbox', 'private'));   % rwread, the jobs' reader
convert = '/usr/bin/convert';             % Debian's imagemagick
exiftool = '/usr/bin/exiftool';           % Debian's libimage-exiftool-perl
assert (exist (convert, 'file') == 2 && exist (exiftool, 'file') == 2, ...
        'needs imagemagick and libimage-exiftool-perl (bash tools/deps.sh)');
work = tempname ();
mkdir (work);
cleanup = onCleanup (@() system (['rm -rf ''' work '''']));
f = @(name) fullfile (work, name);
sh = @(cmd) assert (system (cmd) == 0, cmd);
% Bit depth and colour type from a PNG's header.
ihdr = @(file) double (fileread (file)(25:26));

% A photograph-like image: an asymmetric object (a disc and a bar) on a
% graded, noisy background; red strokes on the object, blue around it.
[x, y] = meshgrid (1:160, 1:120);
object = hypot (x - 55, y - 50) < 30 | (x > 50 & x < 135 & y > 72 & y < 90);
randn ('state', 1);
img = zeros (120, 160, 3);
colours = [0.8 0.55 0.25; 0.25 0.4 0.7];  % object, background
for ch = 1:3
  img(:, :, ch) = reshape (colours(2 - object, ch), 120, 160) + 0.002 * x + 0.07 * randn (120, 160);
end
img8 = uint8 (255 * min (max (img, 0), 1));
seeds = zeros (120, 160, 'uint8');        % 0 none, 1 red, 2 blue, 3 white
seeds(50, 40:70) = 1;
seeds(81, 80:125) = 1;
seeds([8 112], 8:152) = 2;
seeds(8:112, 152) = 2;
seeds(60:62, 100:104) = 3;                % a white note: four palette entries
pure = [0 0 0; 1 0 0; 0 0 1; 1 1 1];
asRgb = @(ind, map) uint8 (255 * reshape (map(double (ind) + 1, :), [size(ind), 3]));

imwrite (img8, f ('rgb.png'));
imwrite (uint16 (img8) * 257, f ('rgb16.png'));
imwrite (img8, f ('rgba.png'), 'Alpha', uint8 (255 * rand (120, 160)));
imwrite (img8, f ('rgb.tif'));
imwrite (img8, f ('rgb.bmp'));
grey = uint8 (mean (img8, 3));
imwrite (grey, f ('grey.png'));
imwrite (grey, f ('greya.png'), 'Alpha', uint8 (255 * rand (120, 160)));
imwrite (repmat (grey, [1 1 3]), f ('grey_rgb.png'));
imwrite (uint8 (object), [0 0 0; 1 1 1], f ('bw.png'));                 % 1 bit, pure
imwrite (asRgb (object, [0 0 0; 1 1 1]), f ('bw_rgb.png'));
% Palettes of 2, 4 and 16 colours (1, 2 and 4 bits) along the line from the
% background's colour to the object's.
along = sum ((reshape (double (img8) / 255, [], 3) - colours(2, :)) .* (colours(1, :) - colours(2, :)), 2) ...
        / sum ((colours(1, :) - colours(2, :)) .^ 2);
for n = [2 4 16]
  map = round (255 * (colours(2, :) + linspace (0, 1, n)' .* (colours(1, :) - colours(2, :)))) / 255;
  ind = uint8 (reshape (round ((n - 1) * min (max (along, 0), 1)), 120, 160));
  imwrite (ind, map, f (sprintf ('pal%d.png', n)));
  imwrite (asRgb (ind, map), f (sprintf ('pal%d_rgb.png', n)));
  assert (ihdr (f (sprintf ('pal%d.png', n))), [log2(n), 3]);
end
sh (sprintf ('%s %s -colors 256 PNG8:%s', convert, f ('rgb.png'), f ('pal256.png')));
sh (sprintf ('%s %s PNG24:%s', convert, f ('pal256.png'), f ('pal256_rgb.png')));
sh (sprintf ('%s %s %s', convert, f ('pal256.png'), f ('pal256.gif')));
sh (sprintf ('%s %s PNG24:%s', convert, f ('pal256.gif'), f ('gif_rgb.png')));
% JPEGs at quality 100 without chroma subsampling: CMYK and its sRGB twin,
% and the seven EXIF orientations, each stored as its tag says (the
% inverse transform of what a viewer shows) so that all show the same.
jpeg = '-quality 100 -sampling-factor 1x1';
sh (sprintf ('%s %s %s %s', convert, f ('rgb.png'), jpeg, f ('srgb.jpg')));
sh (sprintf ('%s %s -colorspace CMYK %s %s', convert, f ('rgb.png'), jpeg, f ('cmyk.jpg')));
assert (size (imread (f ('cmyk.jpg')), 3) == 4);
stored = {'-flop', '-rotate 180', '-flip', '-transpose', '-rotate 270', '-transverse', '-rotate 90'};
for o = 2:8
  file = f (sprintf ('o%d.jpg', o));
  sh (sprintf ('%s %s %s %s %s', convert, f ('rgb.png'), stored{o - 1}, jpeg, file));
  sh (sprintf ('%s -q -overwrite_original -n -Orientation=%d %s', exiftool, o, file));
end
% Seed files: RGB; a 2-bit palette of pure colours (Octave's imread returns
% its indices as logicals) as PNG, GIF and BMP; RGBA whose transparent
% pixels are red underneath.
imwrite (asRgb (seeds, pure), f ('seeds.png'));
imwrite (seeds, pure, f ('seeds_pal.png'));
assert (ihdr (f ('seeds_pal.png')), [2, 3]);
imwrite (seeds, pure, f ('seeds.gif'));
imwrite (seeds, pure, f ('seeds.bmp'));
hidden = asRgb (seeds, pure);
hidden(30:40, 120:140, 1) = 255;          % red on the background, fully transparent
imwrite (hidden, f ('seeds_rgba.png'), 'Alpha', uint8 (255 * ~(y >= 30 & y <= 40 & x >= 120 & x <= 140)));

% Each row: image, seeds, its twin's image and seeds, and how far the two
% images may be apart (mean absolute difference, in 8-bit levels).  Files
% of the same pixels must give identical images and labels.  The JPEGs made
% another way differ by a level or two in places (the CMYK one passes
% through 8-bit CMYK, whose quantisation no conversion undoes exactly), so
% up to 0.5% of their labels may differ; CMYK read plane by plane, or a
% wrong orientation, is tens of levels away.
rows = {
  'rgb16.png',  'seeds.png',      'rgb.png',       'seeds.png', 0
  'rgba.png',   'seeds.png',      'rgb.png',       'seeds.png', 0
  'rgb.tif',    'seeds.png',      'rgb.png',       'seeds.png', 0
  'rgb.bmp',    'seeds.png',      'rgb.png',       'seeds.png', 0
  'grey.png',   'seeds.png',      'grey_rgb.png',  'seeds.png', 0
  'greya.png',  'seeds.png',      'grey_rgb.png',  'seeds.png', 0
  'bw.png',     'seeds.png',      'bw_rgb.png',    'seeds.png', 0
  'pal2.png',   'seeds.png',      'pal2_rgb.png',  'seeds.png', 0
  'pal4.png',   'seeds.png',      'pal4_rgb.png',  'seeds.png', 0
  'pal16.png',  'seeds.png',      'pal16_rgb.png', 'seeds.png', 0
  'pal256.png', 'seeds.png',      'pal256_rgb.png','seeds.png', 0
  'pal256.gif', 'seeds.png',      'gif_rgb.png',   'seeds.png', 0
  'rgb.png',    'seeds_pal.png',  'rgb.png',       'seeds.png', 0
  'rgb.png',    'seeds.gif',      'rgb.png',       'seeds.png', 0
  'rgb.png',    'seeds.bmp',      'rgb.png',       'seeds.png', 0
  'rgb.png',    'seeds_rgba.png', 'rgb.png',       'seeds.png', 0
  'cmyk.jpg',   'seeds.png',      'srgb.jpg',      'seeds.png', 1
};
for o = 2:8
  rows(end + 1, :) = {sprintf('o%d.jpg', o), 'seeds.png', 'srgb.jpg', 'seeds.png', 0.5};
end
results = struct ();
% The labels are what is compared: the hard cut-out, which costs no matte.
segment = @(image, seedFile) rwsegment (f (image), f (seedFile), f ('picture.png'), [], [], 'hard');
key = @(image, seedFile) regexprep ([image '_' seedFile], '\W', '_');
for r = 1:size (rows, 1)
  for side = [0 2]
    k = key (rows{r, 1 + side}, rows{r, 2 + side});
    if ~isfield (results, k)
      evalc ('results.(k) = segment (rows{r, 1 + side}, rows{r, 2 + side});');
    end
  end
  a = results.(key (rows{r, 1}, rows{r, 2}));
  b = results.(key (rows{r, 3}, rows{r, 4}));
  differ = mean (a(:) ~= b(:));
  apart = 255 * mean (abs (reshape (rwread (f (rows{r, 1})) - rwread (f (rows{r, 3})), [], 1)));
  assert (isequal (size (a), [120 160]) && apart <= rows{r, 5} && differ <= (rows{r, 5} > 0) * 0.005, ...
          '%s with %s: images %.2f levels apart, %.2f%% of the labels differ from %s with %s', ...
          rows{r, 1}, rows{r, 2}, apart, 100 * differ, rows{r, 3}, rows{r, 4});
end
truth = results.(key ('rgb.png', 'seeds.png'));
assert (mean (truth(:) == object(:)) > 0.97);   % a test image that segments
% A 1-by-1 palette image reads as its one colour.
imwrite (uint8 (1), [0 0 0; 0.2 0.4 0.6], f ('one.png'));
assert (rwread (f ('one.png')), reshape ([0.2 0.4 0.6], 1, 1, 3), 1e-12);
% A seed file of pure colours (which Octave reads as logical) comes as 8
% bits when asked for samples as stored, the same colours.
assert (rwread (f ('seeds.png'), 'rwsegment', true), uint8 (255 * rwread (f ('seeds.png'))));
% Asked to keep a logical file so, it stays logical: the seed file's masks.
assert (rwread (f ('seeds.png'), 'rwsegment', 'logical'), rwread (f ('seeds.png')) > 0);
% So does a grey file, as three equal planes of its own samples.
assert (rwread (f ('grey.png'), 'rwmatte', true), repmat (grey, [1 1 3]));
imwrite (uint16 (grey) * 257, f ('grey16.png'));
assert (rwread (f ('grey16.png'), 'rwmatte', true), repmat (uint16 (grey) * 257, [1 1 3]));

% The mask and the hard cut-out, 8-bit and (from a 16-bit photograph)
% 16-bit (the soft one: test_rwcutout.m).
for source = {'rgb.png', 'rgb16.png'}
  out = evalc ('[labels, ~, info] = rwsegment (f (source{1}), f (''seeds.png''), f (''result.png''), [], [], ''hard'');');
  assert (strcmp (info.mask, f ('result_mask.png')) && strcmp (info.cutout, f ('result_cutout.png')));
  assert (~isempty (strfind (out, ['Mask: ' info.mask])) && ~isempty (strfind (out, ['Cut-out: ' info.cutout])), out);
  assert (ihdr (info.mask), [8, 0]);
  mask = rwread (info.mask);
  assert (isequal (mask(:, :, 1), double (labels)));        % 255 on the object, 0 elsewhere
  [cut, alpha] = rwread (info.cutout);
  [photo, ~, bits] = rwread (f (source{1}));
  assert (ihdr (info.cutout), [bits, 6]);
  assert (isequal (alpha, double (labels)));
  on = repmat (labels, [1 1 3]);
  assert (isequal (cut(on), photo(on)) && ~any (cut(~on)));
  assert (ihdr (info.picture), [8, 2]);
  assert (size (imread (info.picture)), [120, 3 * 160 + 16, 3]);
end

% A wide photograph: its picture is scaled down to 3,200 pixels in all.
imwrite (repmat (img8, [1 15 1]), f ('wide.png'));
imwrite (repmat (asRgb (seeds, pure), [1 15 1]), f ('wide_seeds.png'));
evalc ('[labels, ~, info] = rwsegment (f (''wide.png''), f (''wide_seeds.png''), f (''wide_result.png''), [], [], ''hard'');');
picture = imread (info.picture);
assert (size (picture, 2) <= 3200 && size (picture, 2) > 3100 && ihdr (info.picture)(1) == 8);
assert (abs (size (picture, 1) - 120 * (size (picture, 2) - 16) / 3 / 2400) <= 1);
assert (isequal (size (imread (info.cutout)), [120, 2400, 3]) && isequal (size (labels), [120, 2400]));
