function parts = mixtureFit (samples, most)
% A Gaussian mixture fitted to the columns of SAMPLES: a few rounds of
% k-means, one Gaussian per cluster of at least 4 samples, each weighted
% by its share of the samples.  Up to MOST clusters (default 3), fewer
% for fewer than 4 samples a cluster, so that a small stroke still gets
% its Gaussian.
  if nargin < 2
    most = 3;
  end
  d = size (samples, 1);
  k = max (1, min (most, floor (size (samples, 2) / 4)));
  [centres, owner] = kmeans3 (samples, k);
  parts = struct ('mu', {}, 'inverse', {}, 'scale', {});
  for j = 1:k
    mine = samples(:, owner == j);
    if size (mine, 2) < 4
      continue;
    end
    mu = centres(:, j);
    dev = mine - mu;
    C = (dev * dev.') / size (mine, 2) + 1e-4 * eye (d);
    scale = (size (mine, 2) / size (samples, 2)) / sqrt ((2 * pi)^d * det (C));
    parts(end + 1) = struct ('mu', mu, 'inverse', inv (C), 'scale', scale);
  end
end
