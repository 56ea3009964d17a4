function parts = mixtureFit (samples)
% A Gaussian mixture fitted to the columns of SAMPLES: a few rounds of
% k-means, one Gaussian per cluster of at least 4 samples, each weighted
% by its share of the samples.  Up to 3 clusters, fewer for fewer than 12
% samples, so that a small stroke still gets its Gaussian.
  k = max (1, min (3, floor (size (samples, 2) / 4)));
  [centres, owner] = kmeans3 (samples, k);
  parts = struct ('mu', {}, 'inverse', {}, 'scale', {});
  for j = 1:k
    mine = samples(:, owner == j);
    if size (mine, 2) < 4
      continue;
    end
    mu = centres(:, j);
    d = mine - mu;
    C = (d * d.') / size (mine, 2) + 1e-4 * eye (3);
    scale = (size (mine, 2) / size (samples, 2)) / sqrt ((2 * pi)^3 * det (C));
    parts(end + 1) = struct ('mu', mu, 'inverse', inv (C), 'scale', scale);
  end
end
