function prior = priorOf (fgParts, bgParts, X)
% The foreground prior of every column of X: the foreground density over
% the sum of both, 0.5 for a colour neither model knows.  A column.
  pFg = mixtureDensity (fgParts, X);
  pBg = mixtureDensity (bgParts, X);
  prior = (pFg ./ max (pFg + pBg, realmin)).';
  prior(pFg + pBg == 0) = 0.5;
end
