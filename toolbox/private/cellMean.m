function m = cellMean (x, rows, cols, f)
%CELLMEAN  The mean of X over F-by-F cells of X (ROWS, COLS, :), in doubles:
%   an image made F times smaller, ROWS and COLS repeating its last row and
%   column where F does not divide its size.
  m = 0;
  for i = 1:f
    for j = 1:f
      m = m + double (x(rows(i:f:end), cols(j:f:end), :));
    end
  end
  m = m / f ^ 2;
end
