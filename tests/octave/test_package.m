% The Octave package as a user installs it: pkg install of the built
% tarball (it compiles the functions with mkoctfile), pkg load, then help
% and the worked example of each function, and rwsegment on image files.
% Everything goes into a throw-away folder: both package lists point there,
% so neither the user's nor the system's packages are touched.
tarball = getenv ('MEXTK_PACKAGE_TARBALL');
scratch = tempname ();
mkdir (scratch);
cleanup = onCleanup (@() system (['rm -rf ''' scratch '''']));
pkg ('local_list', fullfile (scratch, 'local_list'));
pkg ('global_list', fullfile (scratch, 'global_list'));
pkg ('prefix', fullfile (scratch, 'share'), fullfile (scratch, 'lib'));
pkg ('install', '-local', tarball);
pkg ('load', 'pixelgraph');

for name = {'pallant', 'kestrow', 'modrick'}
  assert (strncmp (which (name{1}), scratch, numel (scratch)), [name{1} ' is not the installed one']);
  assert (! isempty (strfind (get_help_text (name{1}), 'Example')), [name{1} ' has no help']);
  check_help_example (name{1});
end

% The jobs' parts are installed beside them, in private/, and callable by
% the jobs only.
installed = fileparts (which ('rwsegment'));
parts = dir (fullfile (installed, 'private', '*.m'));
assert (numel (parts) > 0, 'no private/ folder beside rwsegment');
for k = 1:numel (parts)
  [~, name] = fileparts (parts(k).name);
  assert (exist (name) == 0, [name ' is on the user''s path']);
end
assert (! isempty (strfind (evalc ('help Contents'), 'rwsegment')), 'help Contents lists no job');

% rwsegment reads an image and a seed image: a dark square on a light
% background, one red stroke inside it, one blue stroke outside.
img = 0.8 * ones (40, 60, 3);
img(11:30, 21:45, :) = 0.2;
seeds = zeros (40, 60, 3);
seeds(20, 25:40, 1) = 1;
seeds(3, 5:55, 3) = 1;
imwrite (img, fullfile (scratch, 'image.png'));
imwrite (seeds, fullfile (scratch, 'seeds.png'));
out = fullfile (scratch, 'picture.png');
evalc ("labels = rwsegment (fullfile (scratch, 'image.png'), fullfile (scratch, 'seeds.png'), out);");
truth = false (40, 60);
truth(11:30, 21:45) = true;
assert (labels, truth);
assert (size (imread (out)), [40, 3 * 60 + 16, 3]);
pkg ('unload', 'pixelgraph');
pkg ('uninstall', '-local', 'pixelgraph');
