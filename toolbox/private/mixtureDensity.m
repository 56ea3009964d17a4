function p = mixtureDensity (parts, X)
% The mixture's density at every column of X; KESTROW evaluates each part.
  p = zeros (1, size (X, 2));
  for j = 1:numel (parts)
    p = p + kestrow (X, parts(j).mu, parts(j).inverse, parts(j).scale);
  end
end
