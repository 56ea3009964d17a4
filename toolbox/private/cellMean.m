function m = cellMean (x, f)
%CELLMEAN  X made F times smaller: the mean over F-by-F cells, in doubles.
%   M = CELLMEAN (X, F): X H-by-W-by-D; M ceil (H/F)-by-ceil (W/F)-by-D,
%   the last row and column of X repeated where F does not divide its size.
%   An unsigned integer image's means are in [0, 1], as UNITSAMPLES gives
%   its samples.  Unsigned integers and logicals are summed as integers
%   wide enough to hold the sum (exact, and cheaper than doubles: a
%   12-megapixel 8-bit image in half the time), then divided.
  [h, w, ~] = size (x);
  rows = min (1:ceil (h / f) * f, h);
  cols = min (1:ceil (w / f) * f, w);
  top = 1;
  if islogical (x) || any (strcmp (class (x), {'uint8', 'uint16'}))
    if ~islogical (x)
      top = double (intmax (class (x)));
    end
    wide = 'uint32';
    if top * f ^ 2 <= double (intmax ('uint16'))
      wide = 'uint16';
    end
    m = zeros (1, 1, wide);
    for i = 1:f
      for j = 1:f
        m = m + cast (x(rows(i:f:end), cols(j:f:end), :), wide);
      end
    end
  else
    m = 0;
    for i = 1:f
      for j = 1:f
        m = m + double (x(rows(i:f:end), cols(j:f:end), :));
      end
    end
  end
  m = double (m) / f ^ 2;
  if top ~= 1
    m = m / top;
  end
end
