function s = matte_score (alpha, fg, c)
%MATTE_SCORE  How far a matte is from a composite's truth, in its band.
%   S = MATTE_SCORE (ALPHA, FG, C): ALPHA H-by-W, FG H-by-W-by-3 in [0, 1]
%   (or 8/16-bit integers), C a case of MATTE_COMPOSITES.  In the band (the
%   benchmark trimap's unknown pixels): S.MSE, the alpha's mean squared
%   error; S.FLAT and S.PHOTO, the share of pixels visibly off (some
%   channel more than 16 of 255 levels away) when the cut-out is laid over
%   a flat grey and over another photograph, against the true foreground
%   laid there through the true alpha.
  if isinteger (fg)
    fg = double (fg) / double (intmax (class (fg)));
  end
  band = c.band;
  n = nnz (band);
  a = double (alpha(band));
  t = c.alpha(band);
  s.mse = mean ((a - t) .^ 2);
  worst = zeros (n, 2);
  for ch = 1:3
    F = fg(:, :, ch); F = F(band);
    T = c.fg(:, :, ch); T = T(band);
    N = c.newbg(:, :, ch); N = N(band);
    for k = 1:2
      if k == 1
        back = 0.5;
      else
        back = N;
      end
      d = abs ((a .* F + (1 - a) .* back) - (t .* T + (1 - t) .* back));
      worst(:, k) = max (worst(:, k), d);
    end
  end
  off = worst > 16 / 255;
  s.flat = mean (off(:, 1));
  s.photo = mean (off(:, 2));
end
