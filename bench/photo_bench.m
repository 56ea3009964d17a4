function photo_bench (action, dir, option)
%PHOTO_BENCH  The main job on photograph-like images of any size (bench/photos).
%   PHOTO_BENCH ('make', DIR, MEGAPIXELS) writes into DIR the PHOTO_LIKE
%   image of about MEGAPIXELS megapixels (4:3) as photo.jpg (quality 90),
%   its strokes as seeds.png, its truth as truth.png and the strokes as
%   strokes.mat.
%   PHOTO_BENCH ('call', DIR) runs the batch form on those files, as a user
%   does, from start to return (PHOTO_BENCH ('call', DIR, 'hard'): with
%   the hard cut-out, which leaves the matte out), and then, in the same
%   process, what the call cannot do without: reading the photograph and
%   writing the mask and the cut-out.  Saves the times, the accuracy, the
%   boundary's match and the process's peak memory (VmHWM) in
%   DIR/call.txt.  The table takes, of every DIR/call*.txt, the one of
%   median time.
%   PHOTO_BENCH ('paint', DIR) replays a painting session on the same
%   photograph through the session's steps, as the window's callbacks do: the set-up,
%   then every stroke's update timed, then the final answer (Enter).
%   Saves DIR/paint.txt.
%   PHOTO_BENCH ('idle', DIR) saves the peak memory of Octave doing nothing.
%   PHOTO_BENCH ('table', ROOT) prints the Markdown table of every size's
%   folder under ROOT, and how far apart the answers at 3 and 12 megapixels
%   are.
  if any (strcmp (action, {'make', 'paint'}))
    toolbox_parts ();            % the session's steps, off the user's path
  end
  switch action
    case 'make'
      megapixels = option;
      h = round (sqrt (megapixels * 1e6 * 3 / 4));
      w = round (h * 4 / 3);
      [img, strokes, truth] = photo_like (h, w);
      imwrite (uint8 (round (255 * img)), fullfile (dir, 'photo.jpg'), 'Quality', 90);
      clear img
      [fg, bg] = strokeMasks (strokes, h, w);
      seeds = zeros (h, w, 3, 'uint8');
      seeds(:, :, 1) = 255 * uint8 (fg);
      seeds(:, :, 3) = 255 * uint8 (bg);
      imwrite (seeds, fullfile (dir, 'seeds.png'));
      imwrite (uint8 (truth) * 255, fullfile (dir, 'truth.png'));
      save ('-text', fullfile (dir, 'strokes.mat'), 'strokes');
    case 'call'
      cutout = 'soft';
      if nargin >= 3
        cutout = option;
      end
      started = tic;
      [labels, ~, info] = rwsegment (fullfile (dir, 'photo.jpg'), fullfile (dir, 'seeds.png'), ...
                                     fullfile (dir, 'out.png'), [], [], cutout);
      r.total = toc (started);
      r.peak = peakMemory ();
      for f = {'read', 'segment', 'picture', 'mask', 'cutout', 'graph', 'priors', 'matrix', 'solve', 'full'}
        r.(f{1}) = info.time.(f{1});
      end
      truth = imread (fullfile (dir, 'truth.png')) > 0;
      r.accuracy = mean (labels(:) == truth(:));
      r.boundary = boundary_match (labels, truth);
      [r.h, r.w] = size (labels);
      % The floor: the same reading and writing, alone.
      started = tic;
      img = imread (fullfile (dir, 'photo.jpg'));
      r.floorRead = toc (started);
      started = tic;
      imwrite (uint8 (labels) * 255, fullfile (dir, 'floor_mask.png'));
      r.floorMask = toc (started);
      started = tic;
      img(repmat (~labels, [1 1 3])) = 0;
      imwrite (img, fullfile (dir, 'floor_cutout.png'), 'Alpha', uint8 (labels) * 255);
      r.floorCutout = toc (started);
      save ('-text', fullfile (dir, 'call.txt'), 'r');
    case 'paint'
      img = double (imread (fullfile (dir, 'photo.jpg'))) / 255;
      load (fullfile (dir, 'strokes.mat'));
      [h, w, ~] = size (img);
      % As the window does: updates at a working scale of at most 2^16
      % pixels, Enter at the batch form's.
      started = tic;
      S = sessionOpen (img, 0.002, true, workingFactor (h, w, 2^16));
      S.radius = strokes(1).radius;
      S.strokeRounds = 0;
      p.ready = toc (started);
      % Each stroke in two halves, as a person paints in several drags,
      % then two corrections drawn over what is there.
      session = struct ('kind', {}, 'xy', {});
      for k = 1:numel (strokes)
        xy = strokes(k).xy;
        half = ceil (size (xy, 1) / 2);
        session(end + 1) = struct ('kind', strokes(k).kind, 'xy', xy(1:half, :));
        session(end + 1) = struct ('kind', strokes(k).kind, 'xy', xy(half:end, :));
      end
      % (in units of the height about the centre, as PHOTO_LIKE places them)
      toPixels = @(p) [p(:, 1) * h + w / 2 + 0.5, (p(:, 2) + 0.5) * h + 0.5];
      session(end + 1) = struct ('kind', 'bg', 'xy', toPixels ([-0.64 0.1; -0.62 -0.2]));
      session(end + 1) = struct ('kind', 'fg', 'xy', toPixels ([0.215 -0.03; 0.215 0.07]));
      p.updates = [];
      for k = 1:numel (session)
        started = tic;
        S = sessionStroke (S, session(k).kind, session(k).xy);
        if S.ready
          p.updates(end + 1) = toc (started);
        end
      end
      started = tic;
      U = sessionUndo (S);
      p.undo = toc (started);
      started = tic;
      if S.factor ~= workingFactor (h, w)
        F = sessionSeeds (sessionOpen (img, 0.002), S.fg, S.bg);
      else
        F = sessionSeeds (S, S.fg, S.bg);
      end
      p.final = toc (started);
      truth = imread (fullfile (dir, 'truth.png')) > 0;
      p.accuracy = mean (F.labels(:) == truth(:));
      p.factor = S.factor;
      p.strokes = numel (session);
      save ('-text', fullfile (dir, 'paint.txt'), 'p');
    case 'idle'
      idle = peakMemory ();
      save ('-text', fullfile (dir, 'idle.txt'), 'idle');
    case 'table'
      table (dir);
  end
end

function kb = peakMemory ()
% The most resident memory this process has held, in kB (Linux).
  status = fileread ('/proc/self/status');
  kb = str2double (regexp (status, 'VmHWM:\s*(\d+)', 'tokens', 'once'));
end

function table (root)
  load (fullfile (root, 'idle.txt'));
  folders = dir (fullfile (root, 'mp*'));
  mp = cellfun (@(n) str2double (n(3:end)), {folders.name});
  [mp, order] = sort (mp);
  folders = folders(order);
  fprintf ('| | %s |\n|---|%s\n', strjoin (arrayfun (@(m) sprintf ('%g MP', m), mp, 'UniformOutput', false), ' | '), ...
          repmat ('---|', 1, numel (mp)));
  R = {};
  P = {};
  for k = 1:numel (folders)
    runs = dir (fullfile (root, folders(k).name, 'call*.txt'));
    calls = {};
    for j = 1:numel (runs)
      load (fullfile (root, folders(k).name, runs(j).name));
      calls{j} = r;
    end
    [~, order] = sort (cellfun (@(c) c.total, calls));
    R{k} = calls{order(ceil (numel (order) / 2))};       % the run of median time
    load (fullfile (root, folders(k).name, 'paint.txt'));
    P{k} = p;
  end
  row = @(label, f) fprintf ('| %s | %s |\n', label, strjoin (cellfun (f, R, 'UniformOutput', false), ' | '));
  row ('size', @(r) sprintf ('%d x %d', r.w, r.h));
  row ('**the call, start to return**', @(r) sprintf ('**%.2f s**', r.total));
  row ('read the photo and the seed file', @(r) sprintf ('%.2f s', r.read));
  row ('segment: working scale (graph, priors, matrix, solve)', @(r) sprintf ('%.2f s (%.2f, %.2f, %.2f, %.2f)', ...
       r.segment - r.read - r.full, r.graph, r.priors, r.matrix, r.solve));
  row ('segment: the full-resolution strip', @(r) sprintf ('%.2f s', r.full));
  row ('write picture, mask, cut-out', @(r) sprintf ('%.2f, %.2f, %.2f s', r.picture, r.mask, r.cutout));
  row ('floor: `imread` the photo, `imwrite` mask and cut-out alone', @(r) sprintf ('%.2f s', ...
       r.floorRead + r.floorMask + r.floorCutout));
  row ('the call against that floor', @(r) sprintf ('%.1fx', r.total / (r.floorRead + r.floorMask + r.floorCutout)));
  row ('**peak memory of the Octave process**', @(r) sprintf ('**%.0f MB**', r.peak / 1024));
  row ('pixels right; boundary within 1 px', @(r) sprintf ('%.4f; %.3f', r.accuracy, r.boundary));
  row = @(label, f) fprintf ('| %s | %s |\n', label, strjoin (cellfun (f, P, 'UniformOutput', false), ' | '));
  row ('painting: ready for strokes', @(p) sprintf ('%.2f s', p.ready));
  row ('painting: update after a stroke, median (worst)', @(p) sprintf ('%.2f s (%.2f s)', median (p.updates), max (p.updates)));
  row ('painting: Enter, the final answer', @(p) sprintf ('%.2f s', p.final));
  fprintf ('\nOctave doing nothing: %.0f MB.  Painting: %d strokes replayed through the session''s steps.\n', ...
          idle / 1024, P{1}.strokes);
  at3 = find (mp == 3, 1);
  at12 = find (mp == 12, 1);
  if ~isempty (at3) && ~isempty (at12)
    small = imread (fullfile (root, folders(at3).name, 'out_mask.png')) > 0;
    large = double (imread (fullfile (root, folders(at12).name, 'out_mask.png')) > 0);
    large = (large(1:2:end, 1:2:end) + large(2:2:end, 1:2:end) + large(1:2:end, 2:2:end) + ...
             large(2:2:end, 2:2:end)) / 4;
    differ = (large > 0.5 & ~small) | (large < 0.5 & small);
    fprintf ('The same strokes at 3 and at 12 megapixels: %.2f%% of the pixels differ.\n', 100 * mean (differ(:)));
  end
end
