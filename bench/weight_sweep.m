% The colour prior's weight against accuracy, on photographs: the six
% composites of COMPOSITES (wallpaper photographs, 2560-by-1600) and the
% photograph-like image of PHOTO_LIKE, segmented from their strokes as the
% batch form does, for each weight in WEIGHTS (environment, default
% "0.05 0.01 0.004 0.002 0.001").  Prints, per case and weight, the share
% of pixels labelled right and of the mask's boundary within a pixel of
% the true edge, then the means.
%
%   octave-cli --path build/octave --path toolbox --path bench bench/weight_sweep.m
%
% The composites need Debian's plasma-workspace-wallpapers (apt-get install).
% About 5 minutes here.
weights = str2num (getenv ('WEIGHTS'));
if isempty (weights)
  weights = [0.05 0.01 0.004 0.002 0.001];
end
toolbox_parts ();              % the session's steps, kept off the user's path
cases = composites ();
[img, strokes, truth] = photo_like (1600, 2560);
cases(end + 1) = struct ('name', 'photo_like', 'img', img, 'truth', truth, 'strokes', strokes);
clear img truth strokes
right = zeros (numel (cases), numel (weights));
cpu = right;
close = right;
for k = 1:numel (cases)
  [h, w, ~] = size (cases(k).img);
  [fg, bg] = strokeMasks (cases(k).strokes, h, w);
  S = sessionOpen (cases(k).img, weights(1));
  for j = 1:numel (weights)
    S.gamma = weights(j);
    S.weight = weights(j) * 2^18 / (S.h * S.w);
    clock = cputime ();
    R = sessionSeeds (S, fg, bg);
    cpu(k, j) = cputime () - clock;
    right(k, j) = mean (R.labels(:) == cases(k).truth(:));
    close(k, j) = boundary_match (R.labels, cases(k).truth);
  end
  fprintf ('%-36s', cases(k).name);
  fprintf (' %.4f/%.3f', [right(k, :); close(k, :)]);
  fprintf ('\n');
end
fprintf ('%-36s', 'mean');
fprintf (' %.4f/%.3f', [mean(right, 1); mean(close, 1)]);
fprintf ('\n%-36s', 'CPU seconds (median)');
fprintf (' %-12.2f', median (cpu, 1));
fprintf ('\n%-36s', 'weight');
fprintf (' %-12g', weights);
fprintf ('\n');
