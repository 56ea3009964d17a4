% rwsegment's soft cut-out: on a photograph whose object has a blurred edge
% and a hair-like strand, the mask stays the hard labels; the cut-out's
% alpha is the labels away from the boundary (colours unchanged there) and
% the object's opacity along it, strand included, within a few hundredths;
% 16 bits in, 16 bits out.  An object narrower than the band, in a small
% photograph, is kept whole; a photograph of two pixels is cut out.
here = fileparts (mfilename ('fullpath'));
addpath (fullfile (here, '..', '..', 'toolbox'));
cd (fullfile (here, '..', '..', 'toolbox', 'private'));   % rwread, the jobs' reader
work = tempname ();
mkdir (work);
cleanup = onCleanup (@() system (['rm -rf ''' work '''']));
f = @(name) fullfile (work, name);

h = 300; w = 400;
[x, y] = meshgrid (1:w, 1:h);
r = hypot (x - 180, y - 150);
t = min (max ((80 - r) / 3 + 0.5, 0), 1);             % a disc, edge 3 px wide
along = x - 255;                                      % a strand: 25 px out, to the right
strand = 0.7 * exp (-(y - 150) .^ 2 / 2) .* (along > -3 & along < 25) .* (1 - max (along, 0) / 50);
t = max (t, strand);
randn ('state', 3);
F = cat (3, 0.85 + 0 * x, 0.55 + 0 * x, 0.2 + 0 * x);
B = cat (3, 0.15 + 0.001 * x, 0.3 + 0.0005 * y, 0.65 + 0 * x);
img = t .* F + (1 - t) .* B + 0.004 * randn (h, w, 3);
img16 = uint16 (round (65535 * min (max (img, 0), 1)));
imwrite (img16, f ('photo.png'));
seeds = zeros (h, w, 3, 'uint8');
seeds(150, 120:240, 1) = 255;
seeds([10 290], 10:390, 3) = 255;
seeds(10:290, [10 390], 3) = 255;
imwrite (seeds, f ('seeds.png'));

evalc ('[labels, ~, info] = rwsegment (f (''photo.png''), f (''seeds.png''), f (''result.png''));');
mask = rwread (info.mask);
assert (isequal (mask(:, :, 1), double (labels)));
assert (double (fileread (info.cutout)(25:26)), [16, 6]);
[cut, alpha] = rwread (info.cutout);
far = abs (r - 80) > 40 & ~(abs (y - 150) < 40 & x > 200);     % away from edge and strand
assert (isequal (alpha(far), double (labels(far))));
photo = rwread (f ('photo.png'));
on = repmat (far & labels, [1 1 3]);
assert (isequal (cut(on), photo(on)));
soft = t > 0 & t < 1;
assert (mean ((alpha(soft) - t(soft)) .^ 2) < 0.003);
core = strand > 0.3 & along > 5;                      % the strand off the disc
assert (mean (abs (alpha(core) - t(core))) < 0.1);
% The object's colour in the mixed pixels is its own, not the blend.
mixed = repmat (alpha > 0.2 & alpha < 0.8, [1 1 3]);
assert (max (abs (cut(mixed) - F(mixed))) < 0.06);

% A small photograph whose object is narrower than the band: the cut-out
% holds the object, opaque, and nothing else.
img = zeros (20, 30, 3, 'uint8');
img(:, :, 3) = 200;
img(6:15, 8:22, 1) = 220;
img(6:15, 8:22, 3) = 30;
imwrite (img, f ('small.png'));
seeds = zeros (20, 30, 3, 'uint8');
seeds(10, 12:18, 1) = 255;
seeds([1 20], :, 3) = 255;
imwrite (seeds, f ('smallseeds.png'));
evalc ('[labels, ~, info] = rwsegment (f (''small.png''), f (''smallseeds.png''), f (''smallout.png''));');
[~, alpha] = rwread (info.cutout);
assert (nnz (labels) > 0 && isequal (alpha > 0.5, labels) && all (alpha(labels) > 0.99));

% Photographs of a few pixels, a seed of each kind: the three files are
% written (a working scale of one block once made the probability sparse,
% which the picture could not colour).
for sz = [2 2; 1 2; 2 1]'
  tiny = uint8 (255 * rand ([sz' 3]));
  imwrite (tiny, f ('tiny.png'));
  seeds = zeros ([sz' 3], 'uint8');
  seeds(1, 1, 1) = 255;
  seeds(end, end, 3) = 255;
  imwrite (seeds, f ('tinyseeds.png'));
  evalc ('[labels, prob] = rwsegment (f (''tiny.png''), f (''tinyseeds.png''), f (''tinyout.png''));');
  assert (labels(1) && ~labels(end) && ~issparse (prob) && exist (f ('tinyout_cutout.png'), 'file'));
end

% The file's opacity is the matte's (single precision) rounded to the
% nearest 16-bit level (scaled in single precision, about one in a
% thousand came out a level off), and colours in doubles are rounded to
% their levels, cleared where the opacity is 0: over every strip of
% columns they are converted in.
rand ('state', 5);
a = single (rand (100, 600));
a(:, 1:7:end) = 0;
fg = rand (100, 600, 3);
writeCutout (fg, a, 16, f ('levels.png'));
[rgb, ~, stored] = imread (f ('levels.png'));
assert (isequal (stored, uint16 (round (double (a) * 65535))));
assert (isequal (rgb, uint16 (round (fg * 65535)) .* uint16 (a > 0)));
