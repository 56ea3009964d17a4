% modrick on pallant's edge lists, end to end.  Fails by raising an error.
1;

rand ('state', 11);
H = 4; W = 5;
img = rand (H, W, 2);
% Symmetric offsets (each with its opposite), listed in no particular order:
% pallant's order for one source pixel is that of this list, not that of the
% targets.
r = int32 ([0; 1; -1;  1; -1;  0;  1; -1;  2; -2]);
c = int32 ([1; 0;  1;  1; -1; -1; -1;  0;  1; -1]);
[s, t, colour, len] = pallant (img, r, c);
s = uint32 (s); t = uint32 (t);
E = numel (s);
assert (E > 0);
all_rows = uint32 ((1:E)');

% Onto itself: every edge at its own row, also a subset of the edges.
assert (modrick (s, t, s, t), all_rows);
pick = (2:3:E)';
assert (modrick (s, t, s(pick), t(pick)), uint32 (pick));

% Onto its reverse edges.  The reverse of edge (s, t) made by offset k is
% the edge (t, s) made by the opposite offset, which pallant lists among the
% edges of source t at that offset's position.  Sorting the reverse edges by
% (source, offset position) brings them into the order of the edge list.
[si, sj] = ind2sub ([H W], double (s));
[ti, tj] = ind2sub ([H W], double (t));
opposite = zeros (E, 1);
for e = 1:E
  opposite(e) = find (r == si(e) - ti(e) & c == sj(e) - tj(e));
end
[~, order] = sortrows ([double(t) opposite]);
P = modrick (s, t, t(order), s(order));
% The reverse edges are the edges themselves, so in the order of the list
% they take every row once.
assert (P, all_rows);
rev = zeros (E, 1, 'uint32');
rev(order) = P;
% rev(e) is the row of the reverse of edge e: it swaps the ends, is its own
% inverse, and the reverse edge has the same colour difference and length.
assert (s(rev), t);
assert (t(rev), s);
assert (rev(rev), all_rows);
assert (colour(rev), colour);
assert (len(rev), len);

% In the order of the edges they reverse, the reverse edges are not in the
% order of the list, and the forward-only scan must say so.
refused = false;
try
  P = modrick (s, t, t, s);
catch err
  assert (err.message, 'modrick: Unexpected input combination');
  refused = true;
end
assert (refused, 'reverse edges out of order were accepted');

disp ('test_modrick_pallant: all passed');
