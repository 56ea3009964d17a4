% rwsegment refuses, with one line naming what is wrong, before any work:
% a copy of the toolbox whose computation fails when called shows that
% nothing was computed, and an image file that does not exist shows that the refusals
% of arguments and output files come before any reading.  A refused output
% file leaves nothing behind and an existing one untouched.
here = fileparts (mfilename ('fullpath'));
work = tempname ();
mkdir (work);
cleanup = onCleanup (@() system (['rm -rf ''' work '''']));
f = @(name) fullfile (work, name);
copyfile (fullfile (here, '..', '..', 'toolbox'), f ('toolbox'));
for step = {'sessionOpen', 'sessionSeeds'}
  fid = fopen (f (['toolbox/private/' step{1} '.m']), 'w');
  fprintf (fid, 'function varargout = %s (varargin)\n  error (''the computation ran'');\nend\n', step{1});
  fclose (fid);
end
addpath (f ('toolbox'));

img = 0.5 * ones (30, 40, 3);
img(10:20, 10:25, 1) = 0.9;
imwrite (img, f ('image.png'));
seeds = zeros (30, 40, 3);
seeds(15, 12:20, 1) = 1;
seeds(3, 3:37, 3) = 1;
imwrite (seeds, f ('seeds.png'));
imwrite (seeds(1:29, :, :), f ('short.png'));
imwrite (seeds(:, :, [1 2 2]), f ('red.png'));           % no blue stroke
fid = fopen (f ('notes.png'), 'w');
fprintf (fid, 'not an image\n');
fclose (fid);
mkdir (f ('folder.png'));
mkdir (f ('taken_mask.png'));
fid = fopen (f ('taken.png'), 'w');
fprintf (fid, 'keep');
fclose (fid);
none = f ('none.png');                    % no such file
copyfile (f ('seeds.png'), f ('over_cutout.png'));
mkdir (f ('x'));
assert (system (sprintf ('ln -s image.png ''%s''', f ('link.png'))) == 0);
kept = {f('image.png'), f('seeds.png'), f('over_cutout.png')};
before = cellfun (@fileread, kept, 'UniformOutput', false);

% Each row: the arguments, and the message (a regular expression).
cases = {
  {none, none, f('out.png'), -1},                        'GAMMA \(the 4th argument.*\) must be a finite real number > 0, not -1$'
  {none, none, f('out.png'), 0},                         'GAMMA .* not 0$'
  {none, none, f('out.png'), NaN},                       'GAMMA .* not NaN$'
  {none, none, f('out.png'), Inf},                       'GAMMA .* not Inf$'
  {none, none, f('out.png'), 1i},                        'GAMMA .* > 0, not 0\+1i$'
  {none, none, f('out.png'), [0.1 0.2]},                 'GAMMA .* not a double array$'
  {none, none, f('out.png'), '0.1'},                     'GAMMA .* not ''0.1''$'
  {[], [], f('out.png'), -1},                            'GAMMA'
  {none, none, f('out.png'), [], [], 'blur'},           'CUTOUT \(the 6th argument\) must be ''soft'' or ''hard'', not ''blur''$'
  {none, none, f('no/out.png'), [], [], 1},             'CUTOUT .* not 1$'
  {none, none, f('no/out.png')},                         ['cannot write ' regexptranslate('escape', f('no/out.png')) ': there is no folder ']
  {none, none, f('result')},                             'cannot write .*result: give it an image file extension, such as \.png$'
  {none, none, f('folder.png')},                         'cannot write .*folder\.png: it is a folder$'
  {none, none, f('taken.png')},                          'cannot write .*taken_mask\.png: it is a folder$'
  {none, [], f('out.png'), [], f('no/strokes.png')},     'cannot write .*no/strokes\.png: there is no folder'
  {none, f('seeds.png'), f('out.png')},                  ['cannot read ' regexptranslate('escape', none) ': no such file$']
  {f('notes.png'), f('seeds.png'), f('out.png')},        'cannot read .*notes\.png: not an image file, or a damaged one \(.+\)$'
  {f('image.png'), f('folder.png'), f('out.png')},       'cannot read .*folder\.png: it is a folder, not a file$'
  {f('image.png'), f('short.png'), f('out.png')},        'the seed image is 29-by-40, the image 30-by-40$'
  {f('image.png'), f('red.png'), f('out.png')},          'the seeds need red \(foreground\) and blue \(background\) strokes$'
  {f('image.png'), f('seeds.png'), f('image.png')},      'will not write .*image\.png: it is the input file .*image\.png$'
  {f('image.png'), f('seeds.png'), [work '/./x/../seeds.png']}, 'will not write .*seeds\.png: it is the input file .*/seeds\.png$'
  {f('link.png'), f('seeds.png'), f('image.png')},       'will not write .*/image\.png: it is the input file .*link\.png$'
  {f('image.png'), f('over_cutout.png'), f('over.png')}, 'will not write .*over_cutout\.png: it is the input file'
  {f('image.png'), [], f('out.png'), [], f('out_mask.png')}, 'will not write .*out_mask\.png and .*out_mask\.png: they are the same file$'
};
for k = 1:size (cases, 1)
  try
    evalc ('rwsegment (cases{k, 1}{:});');
    error ('case %d: no refusal', k);
  catch err
    assert (~isempty (regexp (err.message, ['^rwsegment: .*' cases{k, 2}], 'once')) && ...
            ~any (err.message == sprintf ('\n')), 'case %d: %s', k, err.message);
  end
  assert (~exist (f ('out.png'), 'file') && ~exist (f ('out_mask.png'), 'file'), 'case %d left a file', k);
end
assert (strcmp (fileread (f ('taken.png')), 'keep'));
% Nothing refused wrote over an input.
assert (isequal (cellfun (@fileread, kept, 'UniformOutput', false), before));
