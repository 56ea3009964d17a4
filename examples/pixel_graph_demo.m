% The 8-neighbour graph of a small built-in image and a summary of it; then
% the colour likelihood of its pixels, and the reverse edge of every edge.
%
% The image is Octave's and MATLAB's built-in peaks surface, scaled to
% [0, 1] and turned into three colour channels.
1;

img = peaks (48);
img = (img - min (img(:))) / (max (img(:)) - min (img(:)));
rgb = cat (3, img, img .^ 2, 1 - img);
[h, w, d] = size (rgb);
npix = h * w;

% The eight neighbours of a pixel, as (row, column) offsets.
r = int32 ([-1;  0;  1; -1; 1; -1; 0; 1]);
c = int32 ([-1; -1; -1;  0; 0;  1; 1; 1]);

[src, dst, colour, len] = pallant (rgb, r, c);

printf ('Image: %d x %d pixels, %d channels\n', h, w, d);
printf ('Offsets: %d; edges: %d (each pixel pair twice, once from each end)\n', numel (r), numel (src));
printf ('Edges per pixel: min %d, max %d\n', min (accumarray (src, 1, [npix 1])), ...
        max (accumarray (src, 1, [npix 1])));
printf ('Squared offset lengths: %d edges of length 1, %d of length 2\n', ...
        sum (len == 1), sum (len == 2));
printf ('Squared colour difference: min %.6g, median %.6g, max %.6g\n', ...
        min (colour), median (colour), max (colour));

% Affinity weights of a segmentation graph, and its degree.
sigma2 = mean (colour);
A = sparse (src, dst, exp (-colour / sigma2) ./ sqrt (len), npix, npix);
printf ('Affinity matrix: %d x %d, %d nonzeros, symmetric: %d\n', rows (A), columns (A), nnz (A), ...
        isequal (A, A.'));
deg = full (sum (A, 2));
printf ('Degree: min %.4f, max %.4f\n', min (deg), max (deg));

% Colour likelihood of every pixel under one Gaussian fitted to the image.
X = reshape (rgb, npix, d).';                     % d-by-npix: a column per pixel
MU = mean (X, 2);
S = cov (X.') + 1e-6 * eye (d);
K = 1 / sqrt ((2*pi)^d * det (S));
v = kestrow (X, MU, inv (S), K);
printf ('Colour likelihood: %d values, min %.4g, max %.4g (at most K = %.4g)\n', ...
        numel (v), min (v), max (v), K);

% The row of every edge's reverse edge: the offsets come in opposite pairs,
% so every edge (s, t) has its reverse (t, s) in the list.  pallant lists
% edges by source and then by offset; with these offsets in increasing
% order of t - s that is the order of sortrows([s t]).
ro = int32 ([0; -1; 1; 0]); co = int32 ([-1; 0; 0; 1]);
[s4, t4, ~, ~] = pallant (rgb, ro, co);
s4 = uint32 (s4); t4 = uint32 (t4);
[~, order] = sortrows ([t4 s4]);
rev = zeros (size (s4), 'uint32');
rev(order) = modrick (s4, t4, t4(order), s4(order));
printf ('4-neighbour graph: %d edges; every reverse edge found: %d\n', numel (s4), ...
        isequal (s4(rev), t4) && isequal (t4(rev), s4));
