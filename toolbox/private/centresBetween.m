function [lo, hi, t] = centresBetween (pixels, factor, n)
%CENTRESBETWEEN  The blocks whose centres surround each pixel.
%   [LO, HI, T] = CENTRESBETWEEN (PIXELS, FACTOR, N): for pixel rows (or
%   columns) PIXELS, the two blocks LO and HI among N blocks of FACTOR
%   pixels whose centres surround them, and the weight T of the second;
%   beyond the outer centres the border block is repeated.
  at = min (max ((pixels(:) - 0.5) / factor + 0.5, 1), n);
  lo = min (floor (at), max (n - 1, 1));
  hi = min (lo + 1, n);
  t = at - lo;
end
