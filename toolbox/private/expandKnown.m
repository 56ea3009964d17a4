function code = expandKnown (img, code, radius, tol)
%EXPANDKNOWN  Unknown pixels of a known side's colour taken as known.
%   CODE = EXPANDKNOWN (IMG, CODE, RADIUS, TOL): IMG H-by-W-by-3 (uint8,
%   uint16 or doubles in [0, 1]), CODE as for MATTEALPHA.  An unknown
%   pixel within RADIUS of a known one whose colour is within TOL of its
%   own (Euclidean, colours in [0, 1]) takes the label of the nearest such
%   pixel, looked for ring by ring outwards.
  [h, w, ~] = size (img);
  % only the unknown pixels within RADIUS of a known one can take a label:
  % those within RADIUS rows and columns of one, found as shifted masks
  known = code ~= 1;
  reach = known;
  for d = 1:radius
    reach(1 + d:end, :) = reach(1 + d:end, :) | known(1:end - d, :);
    reach(1:end - d, :) = reach(1:end - d, :) | known(1 + d:end, :);
  end
  known = reach;
  for d = 1:radius
    reach(:, 1 + d:end) = reach(:, 1 + d:end) | known(:, 1:end - d);
    reach(:, 1:end - d) = reach(:, 1:end - d) | known(:, 1 + d:end);
  end
  u = find (code == 1 & reach);
  clear known reach
  if isempty (u)
    return;
  end
  ur = mod (u - 1, h) + 1;
  uc = (u - ur) / h + 1;
  I = unitSamples ([img(u), img(u + h * w), img(u + 2 * h * w)]);
  [dy, dx] = ndgrid (-radius:radius, -radius:radius);
  d = dy(:) .^ 2 + dx(:) .^ 2;
  keep = d > 0 & d <= radius ^ 2;
  [~, order] = sort (d(keep));
  dy = dy(keep); dx = dx(keep);
  dy = dy(order); dx = dx(order);
  label = zeros (numel (u), 1, 'uint8');
  searching = true (numel (u), 1);
  for k = 1:numel (dy)
    r = ur + dy(k); c = uc + dx(k);
    in = find (searching & r >= 1 & r <= h & c >= 1 & c <= w);
    q = r(in) + (c(in) - 1) * h;
    kq = code(q);
    known = kq == 0 | kq == 2;
    in = in(known); q = q(known); kq = kq(known);
    near = sum ((unitSamples ([img(q), img(q + h * w), img(q + 2 * h * w)]) - I(in, :)) .^ 2, 2) < tol ^ 2;
    label(in(near)) = kq(near);
    searching(in(near)) = false;
  end
  code(u(~searching)) = label(~searching);
end
