function x = zeroWhere (x, off)
%ZEROWHERE  Every plane of X set to 0 where the H-by-W mask OFF is true.
%   X = ZEROWHERE (X, OFF): a plane at a time (no mask of all the planes,
%   36 MB at 12 megapixels for three), and only a plane that is not 0 there
%   already, so that X is not copied for nothing.  The cut-out's colours,
%   cleared where the opacity is 0.
  for ch = 1:size (x, 3)
    plane = x(:, :, ch);
    if any (plane(off))
      plane(off) = 0;
      x(:, :, ch) = plane;
    end
  end
end
