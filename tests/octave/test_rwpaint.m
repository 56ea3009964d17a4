% Painting without a window: the test image's strokes, sent through
% the session's steps as the window's callbacks send them, reach the batch form's
% accuracy at the working scale, and Enter's answer is the batch form's;
% taking a stroke back restores the state before it; rwsegment says at
% once what it lacks, a display or the MEX functions.
here = fileparts (mfilename ('fullpath'));
toolbox = fullfile (here, '..', '..', 'toolbox');
addpath (toolbox);
cd (fullfile (toolbox, 'private'));        % the session's steps, as the window calls them
[img, strokes, truth] = testImage ();
S = sessionOpen (img, 0.05);
for k = 1:numel (strokes) - 1
  S = sessionStroke (S, strokes(k).kind, strokes(k).xy);
end
before = S;
S = sessionStroke (S, strokes(end).kind, strokes(end).xy);
% The working scale's answer, against the regions at the blocks' corners.
work = S.x >= 0.5;
atBlocks = truth(1:S.factor:end, 1:S.factor:end);
assert (S.ready && S.factor == 2 && mean (work(:) == atBlocks(:)) >= 0.98, 'accuracy after the strokes');
% Enter: the same seeds from scratch, as the batch form runs them.
[fg, bg] = strokeMasks (strokes, 512, 512);
assert (isequal (S.fg, fg) && isequal (S.bg, bg));
B = sessionSeeds (sessionOpen (img, 0.05), fg, bg);
F = sessionSeeds (S, S.fg, S.bg);
assert (mean (B.labels(:) == truth(:)) >= 0.99 && nnz (B.labels ~= F.labels) <= 100);
% The blocks' seed counts kept stroke by stroke are those of the masks.
assert (isequal (S.count, F.count));

% Undo, also of a stroke that took pixels from the other kind.
for f = {'fg', 'bg', 'count', 'x', 'prob', 'labels', 'strokes'}
  U = sessionUndo (S);
  assert (isequal (U.(f{1}), before.(f{1})), 'undo: %s', f{1});
end
over = sessionStroke (S, 'bg', [236 267; 300 267]);
assert (~any (over.fg(267, 240:296)) && mean (over.x(:) >= 0.5) < mean (S.x(:) >= 0.5));
back = sessionUndo (over);
assert (isequal (back.fg, S.fg) && isequal (back.bg, S.bg) && isequal (back.count, S.count) && isequal (back.x, S.x));

% No display (this runs with --no-window-system): a clear message, at once.
file = [tempname() '.png'];
imwrite (img(1:8, 1:8, :), file);
try
  rwsegment (file);
  error ('rwsegment painted without a display');
catch err
  assert (~isempty (strfind (err.message, 'Start Octave with a display')) && ...
          ~isempty (strfind (err.message, 'rwsegment (IMAGEFILE, SEEDFILE)')), err.message);
end
delete (file);

% Without the MEX functions on the path: which ones, and how to get them.
[status, out] = system (sprintf ('"%s" --norc --quiet --no-window-system --path "%s" --eval rwsegment 2>&1', ...
                                 getenv ('MEXTK_OCTAVE_CLI'), toolbox));
assert (status ~= 0 && ~isempty (strfind (out, 'pallant, kestrow and modrick are not on the path')) && ...
        ~isempty (strfind (out, 'addpath')), out);
