% modrick as an Octave user calls it.  Fails by raising an error.
1;

u = @(x) uint32 (x(:));
a = u ([1 2 3]);

% The counts, inputs first; nothing else is looked at before them.
expect_error (@modrick, 'modrick: 4 input arguments are required.', 0);
expect_error (@modrick, 'modrick: 4 input arguments are required.', 0, a, a, a);
expect_error (@modrick, 'modrick: 4 input arguments are required.', 1, a, a, a);
expect_error (@modrick, 'modrick: 4 input arguments are required.', 1, 1, 'x', {});
expect_error (@modrick, 'modrick: 1 output arguments are required.', 0, a, a, a, a);
expect_error (@modrick, 'modrick: 1 output arguments are required.', 0, 1, 'x', {}, []);

% Every input of another class, sparse or complex is refused, naming it.
bad = {[], 1, single(1), int8(1), uint8(1), int16(1), uint16(1), int64(1), ...
       uint64(1), true, 'a', {a}, struct('a', 1), @sin, sparse(1), ...
       sparse(true), complex(1, 2), complex(single(1), 2), 1:3, zeros(3, 1)};
letters = 'ABCD';
for k = 1:numel (bad)
  for slot = 1:4
    in = {a, a, a, a};
    in{slot} = bad{k};
    expect_error (@modrick, sprintf ('modrick: Input %c must be a real, full int32 or uint32 array.', ...
                           letters(slot)), 1, in{:});
  end
end
% The lowest bad slot is named, and class comes before size.
expect_error (@modrick, 'modrick: Input B must be a real, full int32 or uint32 array.', 1, a, 1, a, 'x');
expect_error (@modrick, 'modrick: Input D must be a real, full int32 or uint32 array.', 1, a, a(1), a, 2);

% Inputs with fewer elements than are read.
expect_error (@modrick, 'modrick: Input A has fewer elements than rows.', 1, zeros (3, 0, 'uint32'), a, a, a);
expect_error (@modrick, 'modrick: Input B has fewer elements than A has rows.', 1, a, a(1:2), a, a);
expect_error (@modrick, 'modrick: Input B has fewer elements than A has rows.', 1, a, zeros (0, 0, 'int32'), a, a);
expect_error (@modrick, 'modrick: Input C has fewer elements than rows.', 1, a, a, zeros (2, 0, 'int32'), a);
expect_error (@modrick, 'modrick: Input D has fewer elements than C has rows.', 1, a, a, a, a(1:2)');
expect_error (@modrick, 'modrick: Input B has fewer elements than A has rows.', 1, a, a(1:2), a, a(1));

% The scan failure, and no result is assigned.
P = 'untouched';
try
  P = modrick (u ([1 3]), u ([2 4]), u ([3 1]), u ([4 2]));
catch err
  assert (err.message, 'modrick: Unexpected input combination');
end
assert (P, 'untouched');
expect_error (@modrick, 'modrick: Unexpected input combination', 1, a, a, u (9), u (9));
expect_error (@modrick, 'modrick: Unexpected input combination', 1, u ([]), u ([]), u (1), u (1));
expect_error (@modrick, 'modrick: Unexpected input combination', 1, u (2), u (1), u (1), u (2));

% Results: class, shape, the worked examples.
P = modrick (a, a, a, a);
assert (class (P), 'uint32');
assert (P, a);
assert (modrick (u ([1 3 5]), u ([2 4 6]), u ([3 3 5]), u ([4 4 6])), u ([2 2 3]));
assert (modrick (u ([1 3 1]), u ([2 4 2]), u ([3 1]), u ([4 2])), u ([2 3]));
assert (modrick (u ([1 1]), u ([2 3]), u (1), u (3)), u (2));

% No query: a 0-by-1 uint32 result, also with an empty reference list.
for C = {zeros(0, 1, 'uint32'), zeros(0, 3, 'int32'), zeros(0, 0, 'uint32')}
  P = modrick (zeros (0, 0, 'uint32'), zeros (0, 0, 'uint32'), C{1}, zeros (0, 0, 'int32'));
  assert (class (P), 'uint32');
  assert (size (P), [0 1]);
end

% Rows: C as a row is one query, A as a row one reference pair.
r = uint32 ([4 7 9]);
assert (modrick (r', r', r, r), uint32 (1));
assert (modrick (r', r', r(2:3), r(2:3)), uint32 (2));
assert (modrick (r, r, uint32 (4), uint32 (4)), uint32 (1));
expect_error (@modrick, 'modrick: Unexpected input combination', 1, r, r, uint32 (7), uint32 (7));
% Only the first column of A and C counts; B and D are read for as many
% elements as there are rows.
assert (modrick (uint32 ([1 8; 2 8]), u ([5 6 8 8]), uint32 ([2 1]), u ([6 9])), uint32 (1) + 1);
expect_error (@modrick, 'modrick: Unexpected input combination', 1, uint32 ([1 8; 2 8]), u ([5 6 8 8]), ...
              uint32 (8), uint32 (8));

% A fifth input is ignored, whatever it is.
assert (modrick (a, a, a, a, {}, 'x'), a);

% int32 and uint32 in any mix compare as 32-bit words.
sf = int32 ([-1; 5]); ss = int32 ([intmin('int32'); 6]);
uf = u ([intmax('uint32') 5]); us = u ([2147483648 6]);
for in = {{sf, ss, uf, us}, {uf, us, sf, ss}, {sf, us, uf, ss}, {uf, ss, sf, us}}
  assert (modrick (in{1}{:}), u ([1 2]));
end

% Row counts past what P's 32-bit dimension, or the scan's count, can hold
% are refused, never wrapped (these arrays are empty and take no memory).
e = zeros (0, 1, 'uint32');
expect_error (@modrick, 'modrick: Input C has more than 2147483647 rows.', 1, e, e, zeros (2^31, 0, 'uint32'), e);
expect_error (@modrick, 'modrick: Input A has more than 4294967295 rows.', 1, zeros (2^32, 0, 'int32'), e, e, e);

% The help text sits beside the MEX file.
assert (! isempty (strfind (evalc ('help modrick'), 'P = MODRICK(A, B, C, D)')));

disp ('test_modrick: all passed');
