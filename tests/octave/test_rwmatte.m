% rwmatte: an edge blurred between two flat colours comes back exact, from
% arrays and from files (16 bits in, a 16-bit RGBA PNG out); a trimap
% with nothing unknown comes back as it is; the refusals name the file,
% come before any work and leave no file behind; a wide band's coarse
% first matte keeps thin strands.
here = fileparts (mfilename ('fullpath'));
addpath (fullfile (here, '..', '..', 'toolbox'));
cd (fullfile (here, '..', '..', 'toolbox', 'private'));   % rwread, the jobs' reader
work = tempname ();
mkdir (work);
cleanup = onCleanup (@() system (['rm -rf ''' work '''']));
f = @(name) fullfile (work, name);

% A blurred edge: alpha a ramp over 30 pixels, red object over blue.
t = repmat ([ones(1, 5), linspace(1, 0, 30), zeros(1, 5)], 30, 1);
F = reshape ([0.9 0.3 0.1], 1, 1, 3);
B = reshape ([0.1 0.25 0.8], 1, 1, 3);
img = t .* F + (1 - t) .* B;
tri = 0.5 * ones (30, 40);
tri(:, 1:5) = 1;
tri(:, 36:40) = 0;
[alpha, fg] = rwmatte (img, tri);
assert (max (abs (alpha(:) - t(:))) < 1 / 255);
on = repmat (alpha > 0, [1 1 3]);
assert (~any (fg(~on)));
assert (max (abs (fg(on) - reshape (repmat (F, [30 40 1]), [], 1)(on(:)))) < 1 / 255);

% The same through files: a 16-bit PNG and an 8-bit trimap give a 16-bit
% RGBA PNG, within a level of 65535 of the truth where it is exact.
imwrite (uint16 (round (img * 65535)), f ('edge16.png'));
imwrite (uint8 (round (tri * 255)), f ('tri.png'));
rwmatte (f ('edge16.png'), f ('tri.png'), f ('cut.png'));
assert (double (fileread (f ('cut.png'))(25:26)), [16, 6]);       % IHDR: 16 bits, RGBA
[cut, a] = rwread (f ('cut.png'));
assert (max (abs (a(:) - t(:))) < 2 / 255);
assert (max (abs (cut(on) - reshape (repmat (F, [30 40 1]), [], 1)(on(:)))) < 2 / 255);

% A trimap's levels next to a tenth and nine tenths of the range are
% classed as the mean of its channels in [0, 1] classes them, whether 8
% bits from a grey file or 16 bits in three channels.
levels = repmat ([230 * ones(1, 5), repmat([229 26], 1, 15), 25 * ones(1, 5)], 30, 1);
imwrite (uint8 (levels), f ('near.png'));
want = rwmatte (img, levels / 255);
assert (isequal (want(:, [1:5, 36:40]), [ones(30, 5), zeros(30, 5)]));
assert (isequal (rwmatte (img, f ('near.png')), want));
deep = repmat ([58982 * ones(1, 5), repmat([58981 6554], 1, 15), 6553 * ones(1, 5)], 30, 1);
deep = cat (3, deep - 2, deep + 1, deep + 1);   % the same mean
assert (isequal (rwmatte (img, uint16 (deep)), rwmatte (img, double (deep) / 65535)));
assert (isequal (rwmatte (img, uint16 (deep)), want));

% Tiny trimaps, where some look around the unknown pixels finds no known
% one (once an error), a single row, three columns.
tiny = 0.5 * ones (4);
tiny(1) = 1;
tiny(16) = 0;
a = rwmatte (rand (4, 4, 3), tiny);
assert (a(1) == 1 && a(16) == 0 && all (a(:) >= 0 & a(:) <= 1));
assert (isequal (rwmatte (rand (1, 5, 3), [1 0.5 0.5 0.5 0])([1 5]), [1 0]));
narrow = 0.5 * ones (10, 3);           % narrower than a cell of the colours' means
narrow(1, :) = 1;
narrow(end, :) = 0;
[a, fg] = rwmatte (rand (10, 3, 3), narrow);
assert (all (a(1, :) == 1) && all (a(end, :) == 0) && isequal (size (fg), [10 3 3]));

% Nothing unknown: the trimap is the matte, the image the colour on it.
hard = double (t > 0.5);
photo = uint8 (round (255 * rand (30, 40, 3)));
[alpha, fg] = rwmatte (photo, hard);
assert (isequal (alpha, hard));
keep = repmat (hard > 0, [1 1 3]);
assert (isequal (fg(keep), double (photo(keep)) / 255) && ~any (fg(~keep)));

% Refusals, each one line naming the file, none leaving OUTFILE: the
% output file's first, then the trimap's (before the image is read), then
% the sizes.
imwrite (uint8 (round (img * 255)), f ('edge.png'));
imwrite (uint8 (round (tri(1:29, :) * 255)), f ('short.png'));
imwrite (uint8 (128 * ones (30, 40)), f ('grey.png'));
imwrite (uint8 (255 * (tri > 0.9) + 128 * (tri <= 0.9)), f ('nobg.png'));
imwrite (uint8 (128 * (tri == 0.5)), f ('nofg.png'));
cases = {
  {f('none.png'), f('tri.png'), f('no/out.png')},  ['cannot write ' regexptranslate('escape', f('no/out.png')) ': there is no folder']
  {f('none.png'), f('tri.png'), f('out.jpg')},     'cannot write .*out\.jpg: give it the extension \.png'
  {f('edge.png'), f('none.png'), f('out.png')},    ['cannot read ' regexptranslate('escape', f('none.png')) ': no such file$']
  {f('edge.png'), f('short.png'), f('out.png')},   ['the trimap ' regexptranslate('escape', f('short.png')) ' is 29-by-40, the image .*edge\.png 30-by-40$']
  {f('edge.png'), f('nofg.png'), f('out.png')},    ['the trimap ' regexptranslate('escape', f('nofg.png')) ' has no white pixel']
  {f('edge.png'), f('nobg.png'), f('out.png')},    ['the trimap ' regexptranslate('escape', f('nobg.png')) ' has no black pixel']
  {f('edge.png'), f('grey.png'), f('out.png')},    'has no white pixel'
  {f('none.png'), f('nofg.png'), f('out.png')},    'has no white pixel'         % before the image is read
  {img, tri(:, 1:39)},                             'the trimap is 30-by-39, the image 30-by-40$'
  {f('edge.png'), f('grey.png'), f('edge.png')},   'will not write .*edge\.png: it is the input file .*edge\.png$'
};
before = fileread (f ('edge.png'));
for k = 1:size (cases, 1)
  try
    rwmatte (cases{k, 1}{:});
    error ('case %d: no refusal', k);
  catch err
    assert (~isempty (regexp (err.message, ['^rwmatte: .*' cases{k, 2}], 'once')) && ...
            ~any (err.message == sprintf ('\n')), 'case %d: %s', k, err.message);
  end
  assert (~exist (f ('out.png'), 'file') && ~exist (f ('out.jpg'), 'file'), 'case %d left a file', k);
end
assert (strcmp (fileread (f ('edge.png')), before));   % the image refused as OUTFILE is untouched

% A wide band (over 20000 unknown pixels, odd sizes): a coarse matte first
% settles the pure pixels, but not a thin strand across the pure side,
% and the mixed pixels come back as exact as before.
t = repmat (min (max ((100 - (1:199)) / 8 + 0.5, 0), 1), 201, 1);
t(60, 100:170) = 0.3;                         % a strand, one pixel wide
t(140:141, 98:180) = 0.6;                    % and one two pixels wide
img = t .* F + (1 - t) .* B;
tri = 0.5 * ones (201, 199);
tri(:, 1:20) = 1;
tri(:, 181:end) = 0;
alpha = rwmatte (img, tri);
assert (max (abs (alpha(:) - t(:))) < 1 / 255);

% The same band solved from the coarse matte by conjugate gradients (as
% the cut-out solves it): the strands, which start at half their opacity,
% come back within 2 levels; where the gradients cannot reach their
% tolerance the factorisation takes over, to the same matte as without.
code = uint8 (2 * (tri == 1) + (tri == 0.5));
exact = mattealpha (img, code, 512, 16, 1e-6);
cg = mattealpha (img, code, 512, 16, 1e-6, single (code == 2), struct ('tol', 1e-4));
assert (max (abs (cg(:) - t(:))) < 2 / 255);
assert (isequal (mattealpha (img, code, 512, 16, 1e-6, single (code == 2), struct ('tol', 1e-300)), exact));

% What the known colours nearby say (noisy, as photographs are): a pixel
% of a colour only the background holds is drawn to the background, one
% of the object's colour to the object, and blends (a strand, a blurred
% edge) are left to the windows.
randn ('state', 7);
t = [ones(40, 20), [zeros(10, 20); ones(10, 20); 0.5 * ones(10, 20); 0.2 * ones(10, 20)], zeros(40, 20)];
img = min (max (t .* F + (1 - t) .* B + 0.02 * randn (40, 60, 3), 0), 1);
code = uint8 (2 * (t(:, [1:20 end]) == 1));
code = [code(:, 1:20), ones(40, 20, 'uint8'), repmat(code(:, end), 1, 20)];
[prior, weight] = matteprior (img, code, 256, 64);
sure = weight / 0.01;                       % the most a small image's pixel is drawn
% (A pure pixel whose noise happens to lie along the line between the two
% colours looks like a blend and is left free too: a few.)
drawn = sure > 0.5;
assert (~any (any (sure(1:20, 21:40) > 0 & ~drawn(1:20, 21:40))));
assert (mean (mean (drawn(1:20, 21:40))) > 0.75);
assert (all (prior(1:10, 21:40)(drawn(1:10, 21:40)) == 0));
assert (all (prior(11:20, 21:40)(drawn(11:20, 21:40)) == 1));
assert (~any (any (sure(21:40, 21:40))));
assert (~any (any (sure(:, [1:20 41:60]))));
