%PALLANT  Edges of a pixel graph given by a list of (row, column) offsets.
%   [S, T, C, L] = PALLANT(IMAGE, ROFFSET, COFFSET) joins every pixel of
%   IMAGE to the pixels at the offsets (ROFFSET(k), COFFSET(k)) that stay
%   inside the image, and returns one row per edge in four E-by-1 double
%   columns:
%
%     S  1-based linear index of the source pixel in one H-by-W plane
%     T  1-based linear index of the target pixel (the pixel at the offset)
%     C  squared colour difference across the edge, summed over the channels
%     L  squared length of the offset, ROFFSET(k)^2 + COFFSET(k)^2
%
%   IMAGE is a full double H-by-W (one channel) or H-by-W-by-D array (D
%   channels); an array of four or more dimensions counts as one channel and
%   only its first plane is read (as none, like H-by-W-by-0, when it is
%   empty); of a complex image only the real parts are read.  ROFFSET and COFFSET are int32 columns of the same length; offset k
%   moves ROFFSET(k) rows down and COFFSET(k) columns to the right.  Offsets
%   that leave the image give no edge; nothing wraps around the border.
%
%   The edges come ordered by source pixel (column by column, top to bottom),
%   and for one source pixel in the order of the offset list.  Zero and
%   repeated offsets are used as given.  Every NaN in C (from NaN or
%   infinite pixels) is the one NaN with the bits 0x7FF8000000000000, the
%   same on every platform.
%
%   Errors, the first failed check only, in this order: "3 input arguments
%   expected.", "4 output arguments expected.", a class error naming the
%   slot ("prhs[1] (roffset) shd be of type int32"), a sparse image, "Invalid
%   size for roffset or coffset" (not two n-by-1 columns of one n), an image
%   of more than 2147483647 pixels per plane, offsets that would yield more
%   than 2147483647 edges, and running out of memory.
%
%   For a segmentation graph, weight the edges and build the affinity
%   matrix: W = sparse(S, T, exp(-C / mean(C)) ./ sqrt(L), H*W, H*W).
%
%   Example: the 2-by-2 image [1 4; 2 8] with the offsets down, right and
%   down-right
%       [s, t, c, l] = pallant([1 4; 2 8], int32([1; 0; 1]), int32([0; 1; 1]));
%       disp([s t c l])
%   gives five edges, one per row (source, target, colour, length):
%       1  2   1  1
%       1  3   9  1
%       1  4  49  2
%       2  4  36  1
%       3  4  16  1
%
%   See also KESTROW, MODRICK.
