function rgb = rwheat (p)
%RWHEAT  Values in [0, 1] as colours: dark blue, cyan, yellow, dark red.
%   RGB = RWHEAT (P) gives, for the H-by-W array P, the H-by-W-by-3 colours
%   of its values on that ramp (values outside [0, 1] are clipped): the
%   probability panel of RWSEGMENT's picture and the eigenvector panels of
%   NCSEGMENT's.
%
%   See also RWSEGMENT, NCSEGMENT.
  knots = [0 0 0.5; 0 0.8 1; 1 0.9 0; 0.6 0 0];
  x = min (max (p(:), 0), 1) * (size (knots, 1) - 1);
  lo = min (floor (x), size (knots, 1) - 2);
  f = x - lo;
  rgb = knots(lo + 1, :) .* (1 - f) + knots(lo + 2, :) .* f;
  rgb = reshape (rgb, [size(p) 3]);
end
