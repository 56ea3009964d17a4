function m = cellMean (x, rows, cols, f)
%CELLMEAN  The mean of X over F-by-F cells of X (ROWS, COLS, :), in doubles:
%   an image made F times smaller, ROWS and COLS repeating its last row and
%   column where F does not divide its size.  Unsigned integers and logicals
%   are summed as integers wide enough to hold the sum (exact, and cheaper
%   than doubles: a 12-megapixel 8-bit image in half the time), then
%   divided.
  if islogical (x) || any (strcmp (class (x), {'uint8', 'uint16'}))
    top = 1;
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
end
