function E = offsetGraph (img)
% The 8-neighbour edges of IMG, each pair of neighbours once, as the edge
% from the lower to the higher pixel index (E.s, E.t), with the squared
% colour difference and the root of the squared length of the edge (dcF,
% rootF) and of its reverse edge (dcB, rootB).  PALLANT lists one offset
% at a time, so each list comes by source pixel; the reverses (t, s) of
% one offset's edges all come from the opposite offset, in the same order,
% so one forward scan of MODRICK per offset finds them.
  ro = int32 ([1; -1; 0; 1]);                     % the offsets that raise the
  co = int32 ([0; 1; 1; 1]);                      % column-major index
  parts = cell (4, 6);
  for k = 1:4
    [s, t, dc, len] = pallant (img, ro(k), co(k));
    [sr, tr, dcr, lenr] = pallant (img, -ro(k), -co(k));
    rev = modrick (uint32 (sr), uint32 (tr), uint32 (t), uint32 (s));
    parts(k, :) = {s, t, dc, dcr(rev), sqrt(len), sqrt(lenr(rev))};
  end
  E = cell2struct (cellfun (@(c) vertcat (c{:}), num2cell (parts, 1), 'UniformOutput', false), ...
                   {'s', 't', 'dcF', 'dcB', 'rootF', 'rootB'}, 2);
end
