function code = expandKnown (img, code, radius, tol)
%EXPANDKNOWN  Unknown pixels of a known side's colour taken as known.
%   CODE = EXPANDKNOWN (IMG, CODE, RADIUS, TOL): IMG H-by-W-by-3 (uint8,
%   uint16 or doubles in [0, 1]), CODE as for MATTEALPHA.  An unknown
%   pixel within RADIUS of a known one whose colour is within TOL of its
%   own (Euclidean, colours in [0, 1]) takes the label of the nearest such
%   pixel, looked for ring by ring outwards.
  [h, w, ~] = size (img);
  u = find (code(:) == 1);
  if isempty (u)
    return;
  end
  % The code framed by RADIUS unknown pixels, so that a look RADIUS away
  % from any pixel lands inside it and finds nothing known off the image.
  hp = h + 2 * radius;
  framed = ones (hp, w + 2 * radius, 'uint8');
  framed(radius + 1:radius + h, radius + 1:radius + w) = code;
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
  % The pixels still searching (by their place in U) and where each is in
  % the framed code: both shrink as pixels find their label.
  live = (1:numel (u)).';
  at = ur + radius + (uc + radius - 1) * hp;
  clear ur uc
  for k = 1:numel (dy)
    kq = framed(at + (dy(k) + dx(k) * hp));
    known = find (kq == 0 | kq == 2);
    if isempty (known)
      continue;
    end
    in = live(known);
    kq = kq(known);
    q = u(in) + (dy(k) + dx(k) * h);
    near = sum ((unitSamples ([img(q), img(q + h * w), img(q + 2 * h * w)]) - I(in, :)) .^ 2, 2) < tol ^ 2;
    label(in(near)) = kq(near);
    found = known(near);
    live(found) = [];
    at(found) = [];
  end
  done = true (numel (u), 1);
  done(live) = false;
  code(u(done)) = label(done);
end
