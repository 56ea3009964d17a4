% Replays a painting session on rwsegment's built-in 512-by-512 test image,
% with no window: the strokes go through the session's steps, as the window's
% callbacks send them, and every update is timed (wall clock).  Prints the
% time the window takes to get ready (the set-up that does not depend on
% the seeds), the median and the worst update after a stroke, the time of
% taking a stroke back, and, as the baseline measured in the same run, the
% batch form's time for the final seeds (set-up and solve from scratch).
%
%   octave-cli --path build/octave --path toolbox bench/paint_replay.m
%
% RUNS (environment, default 3) sets the number of sessions replayed.
runs = str2double (getenv ('RUNS'));
if isnan (runs)
  runs = 3;
end
addpath (fileparts (mfilename ('fullpath')));
toolbox_parts ();              % the session's steps, kept off the user's path
[img, strokes, truth] = testImage ();
% The test image's own strokes, then corrections a person might add: the
% other arms of the flower, the bite out of it, the corners.
more = struct ('kind', {'fg', 'fg', 'fg', 'bg', 'bg', 'bg', 'fg'}, ...
               'xy', {[187 302; 115 355], [187 231; 115 179], [255 210; 282 124], ...
                      [330 225; 345 212], [40 400; 60 480], [420 60; 480 150], ...
                      [255 324; 282 409]}, ...
               'radius', 3);
strokes = [strokes, more];

opens = zeros (runs, 1);
updates = [];
stages = zeros (0, 3);
cpu = [];
undos = zeros (runs, 1);
batch = zeros (runs, 1);
for run = 1:runs
  started = tic;
  S = sessionOpen (img, 0.002, true, workingFactor (512, 512, 2^16));   % as the window
  opens(run) = toc (started);
  for k = 1:numel (strokes)
    started = tic;
    clock = cputime ();
    S = sessionStroke (S, strokes(k).kind, strokes(k).xy);
    if S.ready                       % the first stroke alone solves nothing
      updates(end + 1) = toc (started);
      cpu(end + 1) = cputime () - clock;
      stages(end + 1, :) = [S.time.priors, S.time.matrix, S.time.solve];
    end
  end
  started = tic;
  U = sessionUndo (S);
  undos(run) = toc (started);
  started = tic;
  B = sessionSeeds (sessionOpen (img, 0.002), S.fg, S.bg);
  batch(run) = toc (started);
  accuracy = mean (B.labels(:) == truth(:));
end

fprintf ('Replayed %d sessions of %d strokes on the 512 x 512 test image (accuracy at Enter %.4f)\n', ...
         runs, numel (strokes), accuracy);
fprintf ('Window ready (set-up independent of the seeds): median %.2f s\n', median (opens));
fprintf ('Update after a stroke: median %.2f s, worst %.2f s (%d updates)\n', ...
         median (updates), max (updates), numel (updates));
fprintf ('  of which (medians) priors %.3f s, weights and matrix %.3f s, solve %.3f s; CPU time %.2f s\n', ...
         median (stages, 1), median (cpu));
fprintf ('Taking a stroke back: median %.3f s\n', median (undos));
fprintf ('Baseline, the batch form on the final seeds: median %.2f s; median update / baseline %.2f\n', ...
         median (batch), median (updates) / median (batch));
