function [centres, owner] = kmeans3 (samples, k, rounds)
% Plain k-means on colour samples, started from k samples spread out by
% the farthest-point rule, so that it gives the same clusters every run;
% at most ROUNDS rounds (default 20).
  if nargin < 3
    rounds = 20;
  end
  n = size (samples, 2);
  centres = zeros (size (samples, 1), k);
  centres(:, 1) = mean (samples, 2);
  nearest = sum ((samples - centres(:, 1)).^2, 1);
  for j = 2:k
    [~, far] = max (nearest);
    centres(:, j) = samples(:, far);
    nearest = min (nearest, sum ((samples - centres(:, j)).^2, 1));
  end
  owner = ones (1, n);
  for iter = 1:rounds
    dist = zeros (k, n);
    for j = 1:k
      dist(j, :) = sum ((samples - centres(:, j)).^2, 1);
    end
    [~, next] = min (dist, [], 1);
    if iter > 1 && isequal (next, owner)
      break;
    end
    owner = next;
    for j = 1:k
      if any (owner == j)
        centres(:, j) = mean (samples(:, owner == j), 2);
      end
    end
  end
end
