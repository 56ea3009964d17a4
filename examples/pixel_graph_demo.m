% The 8-neighbour graph of a small built-in image, and a summary of it.
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
