% pallant as an Octave user calls it.  Fails by raising an error.
1;

% Reference: every pixel, every offset, in the documented order.
function [s, t, c, l] = reference (img, r, cc)
  [h, w, d] = size (img);
  if (ndims (img) > 3)
    d = 1;
  end
  img = real (double (img));
  s = []; t = []; c = []; l = [];
  for j = 0:w-1
    for i = 0:h-1
      for k = 1:numel (r)
        ti = i + double (r(k)); tj = j + double (cc(k));
        if (ti < 0 || ti >= h || tj < 0 || tj >= w)
          continue;
        end
        p = i + j*h + 1; q = ti + tj*h + 1;
        acc = 0;
        for m = 0:d-1
          diff = img(p + m*h*w) - img(q + m*h*w);
          acc = acc + diff * diff;
        end
        s(end+1,1) = p; t(end+1,1) = q; c(end+1,1) = acc;
        l(end+1,1) = double (r(k))^2 + double (cc(k))^2;
      end
    end
  end
  if (isempty (s))
    s = zeros (0, 1); t = zeros (0, 1); c = zeros (0, 1); l = zeros (0, 1);
  end
end

img = [1 4; 2 8];

% The worked examples.
[s, t, c, l] = pallant (img, int32 ([1; 0; 1]), int32 ([0; 1; 1]));
assert (s, [1; 1; 1; 2; 3]);
assert (t, [2; 3; 4; 4; 4]);
assert (c, [1; 9; 49; 36; 16]);
assert (l, [1; 1; 2; 1; 1]);
assert (class (s), 'double');

[s, t, c, l] = pallant (img, int32 ([1; 0; 1; -1]), int32 ([0; 1; 1; 0]));
assert (s, [1; 1; 1; 2; 2; 3; 4]);
assert (t, [2; 3; 4; 4; 1; 4; 3]);

img2 = cat (3, img, [0 0; 0 1]);
[s, t, c, l] = pallant (img2, int32 ([1; 0; 1]), int32 ([0; 1; 1]));
assert (c, [1; 9; 50; 37; 17]);

% Errors, in the order they are checked, as an Octave user sees them.
r = int32 ([1; 0]); cc = int32 ([0; 1]);
expect_error (@pallant, 'pallant: 3 input arguments expected.', 4, img, r);
expect_error (@pallant, 'pallant: 3 input arguments expected.', 4, img, r, cc, cc);
expect_error (@pallant, 'pallant: 4 output arguments expected.', 0, img, r, cc);
expect_error (@pallant, 'pallant: 4 output arguments expected.', 1, img, r, cc);
expect_error (@pallant, 'pallant: 4 output arguments expected.', 3, img, r, cc);
expect_error (@pallant, 'pallant: 4 output arguments expected.', 5, img, r, cc);
expect_error (@pallant, 'pallant: 3 input arguments expected.', 2, img, r);
expect_error (@pallant, 'pallant: prhs[0] (image) shd be of type double', 4, single (img), double (r), cc);
expect_error (@pallant, 'pallant: prhs[0] (image) shd be of type double', 4, uint8 (img), r, cc);
expect_error (@pallant, 'pallant: prhs[1] (roffset) shd be of type int32', 4, img, double (r), double (cc));
expect_error (@pallant, 'pallant: prhs[2] (coffset) shd be of type int32', 4, img, r, double (cc));
expect_error (@pallant, 'pallant: Invalid size for roffset or coffset', 4, img, r', cc');
expect_error (@pallant, 'pallant: Invalid size for roffset or coffset', 4, img, r, int32 ([0; 1; 1]));
expect_error (@pallant, 'pallant: Invalid size for roffset or coffset', 4, img, zeros (0, 0, 'int32'), zeros (0, 0, 'int32'));
expect_error (@pallant, 'pallant: prhs[0] (image) shd be a full (not sparse) array', 4, sparse (img), r, cc);
expect_error (@pallant, 'pallant: prhs[1] (roffset) shd be of type int32', 4, sparse (img), double (r), cc);

% Sizes past 32 bits are refused, never truncated (these arrays are empty,
% so they take no memory).
expect_error (@pallant, 'pallant: An array dimension exceeds 2147483647, the largest a 32-bit size can hold.', 4, ...
              zeros (2^31, 0), r, cc);
expect_error (@pallant, 'pallant: prhs[0] (image) has more than 2147483647 pixels per plane', 4, ...
              zeros (65536, 32768, 0), r, cc);

% Zero offsets: empty columns.
[s, t, c, l] = pallant (img, zeros (0, 1, 'int32'), zeros (0, 1, 'int32'));
assert (size (s), [0 1]); assert (size (l), [0 1]);

% A 3-channel, a 4-D and a complex image; random images against the reference.
r8 = int32 ([-1; 0; 1; -1; 1; -1; 0; 1]);
c8 = int32 ([-1; -1; -1; 0; 0; 1; 1; 1]);
rand ('seed', 7);
rgb = rand (5, 4, 3);
[s, t, c, l] = pallant (rgb, r8, c8);
[s0, t0, c0, l0] = reference (rgb, r8, c8);
assert (s, s0); assert (t, t0); assert (c, c0); assert (l, l0);
assert (numel (s), 2*(4*4 + 5*3) + 4*(4*3));

four = rand (3, 4, 2, 2);
[s, t, c, l] = pallant (four, r8, c8);
[s0, t0, c0, l0] = reference (four(:, :, 1), r8, c8);
assert (c, c0);

% An empty 4-D image holds no plane: every edge, all differences 0.
[s, t, c, l] = pallant (zeros (2, 2, 0, 2), int32 ([1; 0; 1]), int32 ([0; 1; 1]));
assert (s, [1; 1; 1; 2; 3]); assert (c, zeros (5, 1));

z = complex (img, [10 20; 30 40]);
[s, t, c, l] = pallant (z, int32 ([1; 0; 1]), int32 ([0; 1; 1]));
assert (c, [1; 9; 49; 36; 16]);

for trial = 1:20
  h = randi ([0 7]); w = randi ([0 7]); d = randi ([0 3]);
  x = randn (h, w, d);
  if (d == 0)
    x = zeros (h, w, 0);
  end
  n = randi ([0 6]);
  ro = int32 (randi ([-4 4], n, 1)); co = int32 (randi ([-4 4], n, 1));
  [s, t, c, l] = pallant (x, ro, co);
  [s0, t0, c0, l0] = reference (x, ro, co);
  assert (s, s0); assert (t, t0); assert (c, c0); assert (l, l0);
end

% Offsets at the int32 extremes give no edge.
[s, t, c, l] = pallant (img, int32 ([intmax('int32'); intmin('int32')]), int32 ([0; 0]));
assert (isempty (s));

% The help text beside the MEX file.
assert (! isempty (strfind (evalc ('help pallant'), 'squared colour difference')));

disp ('test_pallant: all passed');
