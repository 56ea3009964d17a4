% The full-resolution strip: on an image small enough to solve whole, the
% answer worked at a coarser scale and then in the strip agrees with the
% whole solve except next to its boundary (and a few pixels the whole solve
% leaves undecided, near 0.5); strokes on the image's edges and
% corners, sizes that are no multiple of the block, and strips one pixel
% wide work at every scale, the seeds keeping their labels.
toolbox = fullfile (fileparts (mfilename ('fullpath')), '..', '..', 'toolbox');
addpath (toolbox);
cd (fullfile (toolbox, 'private'));        % the session's steps, as rwsegment calls them
[img, strokes, truth] = testImage ();
img = img(1:2:end, 1:2:end, :);                          % 256-by-256
truth = truth(1:2:end, 1:2:end);
for k = 1:numel (strokes)
  strokes(k).xy = (strokes(k).xy - 0.5) / 2 + 0.5;
  strokes(k).radius = 2;
end
[fg, bg] = strokeMasks (strokes, 256, 256);
whole = sessionSeeds (sessionOpen (img, 0.05, false, 1), fg, bg);
for factor = [2, 4, 8]
  S = sessionSeeds (sessionOpen (img, 0.05, false, factor), fg, bg);
  assert (S.factor == factor && S.strip > 0);
  differ = S.labels ~= whole.labels;
  edge = conv2 (double (whole.labels), ones (5), 'same');
  nearEdge = edge > 0 & edge < 25;                       % within 2 pixels of it
  assert (nnz (differ & ~nearEdge) <= 20, 'factor %d: %d pixels differ away from the boundary', ...
          S.factor, nnz (differ & ~nearEdge));
  assert (mean (S.labels(:) == truth(:)) >= 0.97, 'factor %d: accuracy %.4f', S.factor, ...
          mean (S.labels(:) == truth(:)));
end

% Odd sizes and one-pixel strips, the strokes along the edges and in the
% corners; a working scale of 1/5 makes every one of them work coarser.
sizes = [37 53; 1 61; 61 1; 6 7; 129 7];
for k = 1:size (sizes, 1)
  h = sizes(k, 1); w = sizes(k, 2);
  [x, y] = meshgrid (1:w, 1:h);
  inside = x + y > (h + w) / 2 + 1;                      % a diagonal split
  im = repmat (0.2 + 0.6 * inside, [1 1 3]) + 0.01 * sin (x + 2 * y);
  fgL = [max(w - 4, 1) h; w h; w max(h - 4, 1)];        % along the corners' edges
  bgL = [min(5, w) 1; 1 1; 1 min(5, h)];
  marks = struct ('kind', {'fg', 'bg'}, 'xy', {fgL, bgL}, 'radius', 1);
  [f, b] = strokeMasks (marks, h, w);
  for factor = [1, 2, 5]
    S = sessionSeeds (sessionOpen (im, 0.004, false, factor), f, b);
    assert (isequal (size (S.labels), [h, w]) && all (S.labels(f)) && ~any (S.labels(b)), ...
            '%d-by-%d at factor %d: the seeds lost their labels', h, w, S.factor);
    assert (isequal (S.labels, inside), '%d-by-%d at factor %d: %d pixels wrong', h, w, ...
            S.factor, nnz (S.labels ~= inside));
  end
end
