function at = brush (xy, radius, h, w)
% The linear indices of the pixels within RADIUS of the polyline through
% the (x, y) rows of XY.  Each segment is cut into pieces at most four
% radii long (their union is the same set), so that only pixels near the
% stroke are looked at, however long it is.
  xy = double (xy);
  if size (xy, 1) == 1
    xy = [xy; xy];
  end
  a = zeros (0, 2);
  b = zeros (0, 2);
  for k = 1:size (xy, 1) - 1
    d = xy(k + 1, :) - xy(k, :);
    pieces = max (1, ceil (hypot (d(1), d(2)) / (4 * max (radius, 1))));
    f = (0:pieces).' / pieces;
    ends = xy(k, :) + f * d;
    a = [a; ends(1:end - 1, :)];
    b = [b; ends(2:end, :)];
  end
  at = cell (size (a, 1), 1);
  for k = 1:size (a, 1)
    cols = max (1, floor (min (a(k, 1), b(k, 1)) - radius)):min (w, ceil (max (a(k, 1), b(k, 1)) + radius));
    rows = max (1, floor (min (a(k, 2), b(k, 2)) - radius)):min (h, ceil (max (a(k, 2), b(k, 2)) + radius));
    [x, y] = meshgrid (cols, rows);
    d = b(k, :) - a(k, :);
    span = sum (d.^2);
    if span > 0
      along = min (max (((x - a(k, 1)) * d(1) + (y - a(k, 2)) * d(2)) / span, 0), 1);
    else
      along = zeros (size (x));
    end
    near = hypot (x - a(k, 1) - along * d(1), y - a(k, 2) - along * d(2)) <= radius;
    pixels = y(near) + (x(near) - 1) * h;
    at{k} = pixels(:);                                 % a column, even for one row
  end
  at = unique (vertcat (zeros (0, 1), at{:}));
end
