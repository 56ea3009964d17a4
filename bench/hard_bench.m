function results = hard_bench (heights, kinds, outdir, set)
%HARD_BENCH  The main job on the composites of HARD_CASES and COMPOSITES.
%   HARD_BENCH (HEIGHTS) segments, for each height in HEIGHTS (default
%   [400 2784]: 0.26 and 12.4 megapixels), every case of HARD_CASES and the
%   rings and blobs of COMPOSITES (resized to that height) from its
%   strokes as the batch form does (RWSESSION 'open' and 'seeds', weight
%   0.002), and prints per case the share of pixels right, the share of the
%   mask's boundary within a pixel of the true edge, and each stage's time;
%   then the mean per height.  HARD_BENCH (HEIGHTS, KINDS) runs only the
%   kinds in the cell KINDS ('parts', 'texture', 'islands', 'focus', 'soft',
%   'rings').
%   HARD_BENCH (HEIGHTS, KINDS, OUTDIR) also writes each mask, scaled to
%   400 pixels high, into OUTDIR.  HARD_BENCH (HEIGHTS, KINDS, OUTDIR,
%   'held-out') runs HARD_CASES' held-out pairs instead, and 'fresh' its
%   cases of other photographs (the rings and blobs of COMPOSITES are left
%   out of both).  RESULTS is a struct array of all that.
%
%   Which RWSESSION runs is the one first on the path: to measure another
%   version, put its examples folder first.
%
%   octave-cli --path build/octave --path toolbox --path bench --eval 'hard_bench'
  if nargin < 1 || isempty (heights)
    heights = [400 2784];
  end
  if nargin < 2 || isempty (kinds)
    kinds = {'parts', 'texture', 'islands', 'focus', 'soft', 'rings'};
  end
  if nargin < 3
    outdir = '';
  end
  if nargin < 4
    set = 'developed';
  end
  if ~isempty (outdir)
    outdir = make_absolute_filename (outdir);   % before working in private/
  end
  toolbox_parts ();              % the session's steps, off the user's path
  results = struct ('height', {}, 'name', {}, 'right', {}, 'boundary', {}, 'time', {}, 'seconds', {});
  for h = heights
   for kind = kinds
    % One kind at a time: at 12 megapixels each case holds 300 MB.
    cases = hard_cases (h, kind, set);
    if strcmp (kind{1}, 'rings') && strcmp (set, 'developed')
      rings = composites (h / 1600);
      for j = 1:min (3, numel (rings))
        cases(end + 1) = struct ('name', rings(j).name, 'kind', 'rings', 'img', rings(j).img, ...
                                 'truth', rings(j).truth, 'strokes', rings(j).strokes);
      end
      clear rings
    end
    for k = 1:numel (cases)
      c = cases(k);
      cases(k).img = [];
      [H, W, ~] = size (c.img);
      [fg, bg] = strokeMasks (c.strokes, H, W);
      % Strokes as a person paints them: a background stroke on the object
      % (or a foreground one off it) would score the case's own strokes.
      if any (bg(:) & c.truth(:)) || any (fg(:) & ~c.truth(:))
        error ('hard_bench: the strokes of %s cross its edge', c.name);
      end
      started = tic;
      S = sessionSeeds (sessionOpen (c.img, 0.002), fg, bg);
      seconds = toc (started);
      r.height = h;
      r.name = c.name;
      r.right = mean (S.labels(:) == c.truth(:));
      r.boundary = boundary_match (S.labels, c.truth);
      r.time = S.time;
      r.seconds = seconds;
      results(end + 1) = r;
      stages = fieldnames (S.time);
      fprintf ('%5d  %-40s %.4f  %.3f  %5.2f s (', h, c.name, r.right, r.boundary, seconds);
      for j = 1:numel (stages)
        fprintf ('%s %.2f ', stages{j}, S.time.(stages{j}));
      end
      fprintf (')\n');
      if ~isempty (outdir)
        step = max (1, round (H / 400));
        m = uint8 (S.labels(1:step:end, 1:step:end)) * 255;
        t = uint8 (c.truth(1:step:end, 1:step:end)) * 255;
        imwrite (cat (3, m, t, m), fullfile (outdir, sprintf ('%d_%02d.png', h, numel (results))));
      end
      clear S c
    end
   end
    mine = [results.height] == h;
    fprintf ('%5d  %-40s %.4f  %.3f\n', h, 'mean', mean ([results(mine).right]), ...
             mean ([results(mine).boundary]));
  end
end
