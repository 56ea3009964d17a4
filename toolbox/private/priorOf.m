function [prior, logFg, logBg] = priorOf (fgParts, bgParts, X)
% The foreground prior of every column of X: the foreground density over
% the sum of both, 0.5 where a model is missing.  A column; so are LOGFG
% and LOGBG, the log of each density (at least log (realmin)).
% A column far from both models has both densities underflow to 0; its
% prior then comes from the log densities, so that it leans to the model
% it is nearer to (else every such colour was an even toss, and which side
% it fell to was left to the solver's rounding).
  pFg = mixtureDensity (fgParts, X);
  pBg = mixtureDensity (bgParts, X);
  prior = (pFg ./ max (pFg + pBg, realmin)).';
  if nargout > 1
    logFg = log (pFg + realmin).';
    logBg = log (pBg + realmin).';
  end
  far = find (pFg + pBg == 0);
  if isempty (far)
    return;
  end
  if isempty (fgParts) || isempty (bgParts)
    prior(far) = 0.5;
    return;
  end
  prior(far) = 1 ./ (1 + exp (logDensity (bgParts, X(:, far)) - logDensity (fgParts, X(:, far))));
end

function l = logDensity (parts, X)
% The log of the mixture's density at every column of X, without
% underflow: the largest part's log density plus the log of the parts'
% sum relative to it.
  L = zeros (numel (parts), size (X, 2));
  for j = 1:numel (parts)
    D = X - parts(j).mu;
    L(j, :) = log (parts(j).scale) - 0.5 * sum (D .* (parts(j).inverse * D), 1);
  end
  top = max (L, [], 1);
  l = top + log (sum (exp (L - top), 1));
end
