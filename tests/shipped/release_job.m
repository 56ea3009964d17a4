% The main job from a release archive's .m files alone (the unpacked folder,
% MEXTK_RELEASE_DIR), with Octave MEX files of the same sources (a folder of
% .mex files only, MEXTK_MEX_DIR): rwsegment on its built-in image, then on
% an image file and a seed file written from that image and its strokes.
% Run by tools/release, from an empty folder (Octave searches the current
% folder first); a .m file missing from the archive fails it, and so does a
% helper of the jobs that a user could call.
folder = getenv ('MEXTK_RELEASE_DIR');
mexdir = getenv ('MEXTK_MEX_DIR');
% The MEX folder first: the archive's help files pallant.m, kestrow.m and
% modrick.m, later on the path, must not hide the MEX files.
addpath (mexdir, folder);
for name = {'pallant', 'kestrow', 'modrick'}
  assert (strcmp (which (name{1}), fullfile (mexdir, [name{1} '.mex'])), ...
          '%s is %s, not the MEX file', name{1}, which (name{1}));
end

parts = dir (fullfile (folder, 'private', '*.m'));
assert (numel (parts) > 0, 'no private/ folder in %s', folder);
for k = 1:numel (parts)
  [~, name] = fileparts (parts(k).name);
  assert (exist (name) == 0, '%s is on the user''s path', name);
end

evalc ('[~, ~, info] = rwsegment ([], [], ''builtin.png'');');
assert (info.accuracy >= 0.98, 'built-in image: accuracy %.4f', info.accuracy);
assert (exist ('builtin.png', 'file') == 2);

% The test image and its strokes, from the archive's own parts.
work = pwd ();
cd (fullfile (folder, 'private'));
[img, strokes, truth] = testImage ();
[fg, bg] = strokeMasks (strokes, size (img, 1), size (img, 2));
cd (work);
seeds = zeros ([size(fg), 3], 'uint8');
seeds(:, :, 1) = 255 * uint8 (fg);
seeds(:, :, 3) = 255 * uint8 (bg);
imwrite (img, 'image.png');
imwrite (seeds, 'seeds.png');
evalc ('labels = rwsegment (''image.png'', ''seeds.png'', ''files.png'');');
accuracy = mean (labels(:) == truth(:));
assert (accuracy >= 0.98, 'image and seed files: accuracy %.4f', accuracy);
assert (exist ('files.png', 'file') == 2);
