function [alpha, fg, info] = rwmatte (image, trimap, outFile)
%RWMATTE  The soft opacity of an object and its own colours, from a trimap.
%   [ALPHA, FG] = RWMATTE (IMAGE, TRIMAP) mattes the colour (or grey) image
%   IMAGE: TRIMAP, of the same size, is white (1, or 255) on pixels surely
%   of the object, black (0) on pixels surely of the background, and grey
%   (anything between 10% and 90%) where the object's edge may be: soft,
%   blurred, or hair and fur over the background.  ALPHA is the H-by-W
%   opacity in [0, 1] (1 and 0 on the white and black pixels), FG the
%   H-by-W-by-3 colour of the object, values in [0, 1], wherever ALPHA > 0
%   (0 elsewhere): in a mixed pixel, the object's colour without the
%   background that shows through, so that ALPHA .* FG + (1 - ALPHA) .* NEW
%   lays the object over a new background NEW with no halo.
%
%   IMAGE and TRIMAP may be file names (any kind RWREAD reads: JPEG, PNG,
%   GIF, TIFF, BMP, ...) or arrays: the image H-by-W-by-3 or H-by-W, uint8,
%   uint16 or doubles in [0, 1]; the trimap H-by-W (or H-by-W-by-3, its
%   mean taken), logical, integer over the class's range, or doubles in
%   [0, 1].
%
%   RWMATTE (IMAGE, TRIMAP, OUTFILE) also writes OUTFILE, an RGBA PNG: the
%   object's colours FG and the opacity ALPHA, 16 bits a sample for a
%   16-bit photograph (8 otherwise), colour 0 where ALPHA is 0.
%   [ALPHA, FG, INFO] = RWMATTE (...) also gives the number of unknown
%   pixels (INFO.unknown) and the time of each stage (INFO.time).
%
%   Before any work, RWMATTE refuses, with one line naming the argument or
%   the file: an OUTFILE that cannot be written or is not a .png; an
%   IMAGE or TRIMAP that cannot be read; a trimap of another size than the
%   image, or one with no white (object) or no black (background) pixel.
%
%   The method.  First, an unknown pixel within 6 pixels of a known one
%   whose colour is within 0.03 of its own (Euclidean, colours in [0, 1])
%   takes that pixel's label: the pure pixels of a loose trimap beside the
%   known ones, which the local windows leave grey where object and
%   background are both dark or flat.  (The outermost pixels of a wide
%   blur are so taken as pure: an opacity error of at most 0.03 over the
%   distance between the object's and the background's colours there.)
%   The opacity is closed-form matting: within every 3-by-3 window k, the
%   opacity is taken as an affine function of the colour,
%   alpha = a_k' * I + b_k, which makes the best matte the minimiser of
%   alpha' * L * alpha, with the known pixels fixed, for the matting
%   Laplacian L.  Its off-diagonal entries join pixels that share a window
%   (up to two apart: 24 offsets, taken where a window holds an unknown
%   pixel):
%       L_ij = -sum_k (1 + (I_i - mu_k)' * inv (C_k + EPSILON/9 * eye (3)) * (I_j - mu_k)) / 9
%   (mu_k and C_k the window's mean colour and covariance; EPSILON = 1e-7
%   for colours in [0, 1], which keeps flat windows from dividing by
%   their noise: on composites of photographs 1e-6 gave up to a fifth
%   more error at 12 megapixels, 1e-5 and 1e-4 more still; 3e-8 about
%   the same).  To it is added, for each unknown pixel, what the known
%   colours nearby say: the known object and background pixels within 64
%   pixels of each 256-by-256 tile are taken as 4 colours each, and a
%   pixel whose colour lies near one side's and far from the other's,
%   which no blend of the two explains much better, is drawn to that side
%   (WEIGHT * (alpha - 0 or 1)^2, WEIGHT at most 0.012 per megapixel of
%   the image times how much nearer it lies, in [0, 1]).  A strand or a
%   blurred edge, which a blend explains, is left to the windows.  Where
%   many pixels are unknown, a matte of the image at half size comes
%   first, and the unknown pixels a few pixels from any mixed one there
%   take its opacity, 0 or 1.  The rest are solved with a sparse Cholesky
%   factorisation one 512-by-512 tile at a time, each in a crop 16 pixels
%   wider on every side whose solution is dropped: never the whole
%   image's system at once.  The colour is then solved from ALPHA: the
%   object's colour F and the background's B are taken smooth (their
%   ALPHA- and (1 - ALPHA)-weighted means within 90 pixels, each moved by
%   its share of what the pixel still differs from ALPHA * F + (1 -
%   ALPHA) * B), then averaged within 15, 7, 3 and 1 pixels in turn, each
%   time moved by the least change that makes the blend the pixel's
%   colour.  A 12-megapixel photograph with a band of unknown pixels
%   along its object's outline takes seconds (docs/performance.md).
%
%   Example (an edge blurred over 30 pixels: the object's red on the left,
%   blue behind):
%       t = repmat ([ones(1, 5), linspace(1, 0, 30), zeros(1, 5)], 30, 1);   % the true alpha
%       img = t .* reshape ([0.9 0.2 0.1], 1, 1, 3) + (1 - t) .* reshape ([0.1 0.2 0.8], 1, 1, 3);
%       tri = 0.5 * ones (30, 40);
%       tri(:, 1:5) = 1;  tri(:, 36:40) = 0;
%       [alpha, fg] = rwmatte (img, tri);
%       fprintf ('largest error of alpha: %.4f\n', max (abs (alpha(:) - t(:))));
%       fprintf ('the object''s colour where alpha > 0: %.2f %.2f %.2f\n', fg(15, 30, :));
%   prints
%       largest error of alpha: 0.0003
%       the object's colour where alpha > 0: 0.90 0.20 0.10
%
%   Needs the toolbox's private folder beside this file (the reader of
%   image files and the matte's steps), and no MEX function.  Runs in
%   MATLAB and in GNU Octave.
%
%   See also RWSEGMENT.

  started = tic;
  if nargin < 2
    error ('rwmatte: give an IMAGE and a TRIMAP: RWMATTE (IMAGE, TRIMAP [, OUTFILE])');
  end
  if nargin >= 3 && ~isempty (outFile)
    if ~ischar (outFile) || size (outFile, 1) ~= 1
      error ('rwmatte: OUTFILE (the 3rd argument) must be a file name');
    end
    checkOutputs ('rwmatte', {image, trimap}, {outFile});
    writable ('rwmatte', outFile, 'png');
  else
    outFile = '';
  end
  [code, triName] = readTrimap (trimap);
  if ~any (code(:) == 2)
    error ('rwmatte: %s has no white pixel (none known to be of the object)', triName);
  end
  if ~any (code(:) == 0)
    error ('rwmatte: %s has no black pixel (none known to be of the background)', triName);
  end
  [img, bits, imgName] = readImage (image);
  if size (img, 1) ~= size (code, 1) || size (img, 2) ~= size (code, 2)
    error ('rwmatte: %s is %d-by-%d, %s %d-by-%d', triName, size (code, 1), size (code, 2), ...
           imgName, size (img, 1), size (img, 2));
  end
  info.time.read = toc (started);
  info.unknown = nnz (code == 1);

  stage = tic;
  % the pure pixels beside the known ones, of their colour, taken as known
  code = expandKnown (img, code, 6, 0.03);
  % what the known colours nearby say of each unknown pixel, weighed
  % against the windows' smoothness in proportion to the pixels' area
  [prior, weight] = matteprior (img, code, 256, 64);
  alpha = mattealpha (img, code, 512, 16, 1e-7, single (code == 2), ...
                      struct ('prior', prior, 'weight', weight));
  clear prior weight
  info.time.alpha = toc (stage);
  stage = tic;
  F = mattecolour (img, alpha, code, 256, 90);
  info.time.colour = toc (stage);
  clear code
  stage = tic;
  if ~isempty (outFile)
    writeCutout (F, alpha, bits, outFile);
  end
  info.time.write = toc (stage);
  alpha = double (alpha);
  if nargout > 1
    fg = unitSamples (F);
  end
  info.time.total = toc (started);
end

function [code, name] = readTrimap (trimap)
% The trimap's code, H-by-W uint8: 2 where the mean of its channels is at
% least nine tenths of the range (the object), 1 where it is strictly
% between a tenth and nine tenths (unknown), 0 below (the background).
  if ischar (trimap)
    name = ['the trimap ' trimap];
    tri = rwread (trimap, 'rwmatte', true);       % 8 or 16 bits kept
  elseif (isnumeric (trimap) || islogical (trimap)) && isreal (trimap) && ndims (trimap) <= 3 ...
         && any (size (trimap, 3) == [1 3]) && ~isempty (trimap)
    name = 'the trimap';
    tri = trimap;
  else
    error ('rwmatte: TRIMAP (the 2nd argument) must be a file name or an H-by-W array');
  end
  if isa (tri, 'uint8') || isa (tri, 'uint16')
    % 8 or 16 bits are summed over the channels, exactly (whole numbers in
    % doubles).  A tenth and nine tenths of the top sum (255 or 65535
    % times the channels, which ends in 5) end in .5, halfway between two
    % sums, so the comparisons are the mean's, made without dividing each
    % plane (96 MB of doubles a plane at 12 megapixels).
    level = sum (tri, 3, 'double');
    top = double (intmax (class (tri))) * size (tri, 3);
  else
    level = mean (unitSamples (tri), 3);
    top = 1;
  end
  clear tri
  code = zeros (size (level), 'uint8');
  code(level > 0.1 * top & level < 0.9 * top) = 1;
  code(level >= 0.9 * top) = 2;
end

function [img, bits, name] = readImage (image)
% The image in its own class where it is 8 or 16 bits, else doubles.
  if ischar (image)
    name = ['the image ' image];
    [img, ~, bits] = rwread (image, 'rwmatte', true);
  elseif isnumeric (image) && isreal (image) && ndims (image) <= 3 && any (size (image, 3) == [1 3]) ...
         && ~isempty (image)
    name = 'the image';
    img = image;
    bits = 8;
    if isa (img, 'uint16')
      bits = 16;
    elseif ~isa (img, 'uint8')
      img = min (max (double (img), 0), 1);
      bits = 16;
    end
  else
    error ('rwmatte: IMAGE (the 1st argument) must be a file name or an H-by-W-by-3 array');
  end
  if size (img, 3) == 1
    img = repmat (img, [1 1 3]);
  end
end
