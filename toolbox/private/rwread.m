function [rgb, alpha, bits] = rwread (file, who, native)
%RWREAD  An image file as RGB values in [0, 1], the way viewers show it.
%   [RGB, ALPHA] = RWREAD (FILE) reads the image in FILE (any format IMREAD
%   reads: JPEG, PNG, GIF, TIFF, BMP, ...) as an H-by-W-by-3 double array
%   RGB with values in [0, 1]:
%   - grey images give three equal planes;
%   - palette (indexed) images give their palette's colours, at every bit
%     depth, whichever way IMREAD returns the indices (0-based integers,
%     1-based doubles, or a logical array);
%   - CMYK images (print JPEGs, TIFFs) are converted with the standard
%     formula R = (1 - C)(1 - K), G = (1 - M)(1 - K), B = (1 - Y)(1 - K),
%     not read plane by plane;
%   - the EXIF orientation of a JPEG (and the orientation tag of a TIFF)
%     is applied, all eight values (phones store portrait photos sideways,
%     with orientation 6 or 8), so that RGB is the picture as every viewer
%     shows it;
%   - of a multi-frame file (GIF, TIFF), the first frame.
%   ALPHA is the H-by-W opacity in [0, 1] (0 transparent), oriented as RGB:
%   the alpha channel of a PNG or TIFF, a palette PNG's tRNS entries, the
%   transparent colour of a GIF; it is [] when the file has none, or when
%   RWREAD is called with one output.  RGB is the colour stored in the
%   file, never blended with a background.
%
%   [RGB, ALPHA, BITS] = RWREAD (FILE) also gives the bits per sample
%   worth keeping when the image is written again: 16 for 16-bit and
%   floating-point files, 8 for all others.
%
%   RWREAD (FILE, WHO, true) leaves an RGB or grey file of 8 or 16 bits a
%   sample (almost every photograph, and a trimap) as IMREAD gives it,
%   uint8 or uint16 over their whole range, oriented, a grey one as three
%   equal planes (one that IMREAD gives as logical, all samples 0 or the
%   top, as uint8): a 12-megapixel photograph then takes 36 MB, not 288 MB
%   in doubles.  Every other kind comes as doubles.
%   RWREAD (FILE, WHO, 'logical') is the same, except that an RGB file that
%   IMREAD gives as logical (every sample 0 or the top: a seed file of pure
%   red, blue and black, in Octave) stays logical: its planes are read
%   as they are, with no conversion (0.2 s at 12 megapixels).
%
%   RWREAD (FILE, WHO) starts its messages with WHO (default 'rwread').  A
%   file that cannot be read gives one line naming the file and why, e.g.
%       rwsegment: cannot read photo.jpg: no such file
%
%   The orientation, the palette's transparency and whether the file holds
%   a palette come from the file's own bytes, not from IMFINFO, which in
%   Octave decodes the whole image (as long again as IMREAD).
%
%   Tested in GNU Octave 7 on every kind above.  Octave 7's IMREAD returns
%   the indices of a palette image whose colours are all pure (every
%   channel 0 or 255, as in a seed file of red, blue and black) as a
%   logical array, which keeps only index 0 apart from the others; RWREAD
%   then reads a temporary copy of the file (PNG, GIF, BMP) whose palette
%   colours are made distinct, and refuses a TIFF palette of that kind
%   with a message.  MATLAB's IMREAD was not tried (there is none here);
%   what its documentation says it returns is handled: indices as 0-based
%   uint8 or uint16, 1-based doubles or logicals, with a map; CMYK JPEGs
%   and TIFFs as four planes (taken, as in Octave, as ink amounts, 0 for
%   none); an RGBA TIFF as four planes; transparency only for PNG.
%
%   See also RWSEGMENT, IMREAD.

  if nargin < 2
    who = 'rwread';
  end
  keep = nargin >= 3 && ischar (native);          % 'logical'
  native = nargin >= 3 && (keep || native);
  if ~ischar (file) || isempty (file) || size (file, 1) ~= 1
    error ('rwread:cannotRead', '%s: cannot read an image: the file name must be text, not %s', ...
           who, describe (file));
  end
  fail = @(why) error ('rwread:cannotRead', '%s: cannot read %s: %s', who, file, why);
  switch exist (file, 'file')
    case 2
    case 7
      fail ('it is a folder, not a file');
    otherwise
      fail ('no such file');
  end
  % What the reading needs to know comes from the file's first bytes, not
  % from IMFINFO: Octave's IMFINFO decodes the whole image (0.6 s for a
  % 12-megapixel JPEG, as long again as IMREAD itself).
  head = readBytes (file, 65536 + 16);
  format = sniff (head);
  wantAlpha = nargout > 1;
  octave = exist ('OCTAVE_VERSION', 'builtin') ~= 0;
  indexed = paletted (head, format);
  if indexed && octave && strcmp (format, 'png')
    % Octave reads a palette PNG with transparent entries as RGBA.
    [~, ~, transparency] = pngPalette (head);
    indexed = isempty (transparency);
  end
  try
    if indexed
      % Octave 7 gives no third output for an indexed image; a palette
      % image's transparency comes from the palette below.
      [a, map] = imread (file);
      alpha = [];
    elseif wantAlpha && (octave || strcmp (format, 'png'))
      % MATLAB's IMREAD returns transparency for PNG only; a TIFF's alpha
      % comes as a fourth (or, for grey, second) plane.
      try
        [a, map, alpha] = imread (file);
      catch
        [a, map] = imread (file);       % an indexed TIFF, in Octave
        alpha = [];
      end
    else
      [a, map] = imread (file);
      alpha = [];
    end
  catch err
    fail (sprintf ('not an image file, or a damaged one (%s)', reason (err)));
  end
  a = a(:, :, :, 1);                      % the first frame
  if ~isempty (alpha)
    alpha = alpha(:, :, 1, 1);
  end
  [orientation, photometric] = tiffTags (file, head, format);
  bits = 8;

  if ~isempty (map)
    % A palette image: the indices, 0-based unless they are doubles.
    if islogical (a) && size (map, 1) > 2
      a = pureIndices (file, format, @(why) fail (why));
    end
    entryAlpha = [];
    if wantAlpha
      entryAlpha = paletteAlpha (file, format, size (map, 1));
    end
    a = orient (a, orientation);
    index = double (a) + (isinteger (a) || islogical (a));
    index = min (max (index, 1), size (map, 1));
    [h, w] = size (index);
    rgb = zeros (h, w, 3);
    for ch = 1:3
      rgb(:, :, ch) = reshape (map(index, ch), h, w);
    end
    if ~isempty (entryAlpha)
      alpha = reshape (entryAlpha(index), h, w);
    end
    return;
  end

  % Four planes are CMYK (in MATLAB, an RGBA TIFF's are RGB and alpha).
  planes = size (a, 3);
  cmyk = planes == 4 && (~strcmp (format, 'tiff') || photometric == 5);
  if ~cmyk && (planes == 2 || planes == 4)
    if wantAlpha && isempty (alpha)
      alpha = a(:, :, planes);
    end
    planes = planes - 1;
  end
  a = orient (a, orientation);
  if ~isempty (alpha)
    alpha = unit (orient (alpha, orientation));
  end
  if isa (a, 'uint16') || isfloat (a)
    bits = 16;
  end
  if planes == 3 && size (a, 3) == 3
    % The common case, in one pass (in MATLAB, in place), or left as it is.
    if native && (isa (a, 'uint8') || isa (a, 'uint16'))
      rgb = a;
    elseif keep && islogical (a)
      rgb = a;
    elseif native && islogical (a)
      % Octave 7 reads an RGB file whose samples are all 0 or 255 (a seed
      % file of pure red, blue and black) as logical: kept as 8 bits, 36 MB
      % at 12 megapixels, not 288 MB of doubles (a second and more there).
      rgb = uint8 (a) * uint8 (255);
    else
      rgb = unit (a);
    end
    return;
  end
  if planes == 1 && native
    % A grey file (a trimap, a black-and-white photograph) as three equal
    % planes of its own samples: 36 MB at 12 megapixels, not 288 MB.
    if isa (a, 'uint8') || isa (a, 'uint16')
      rgb = repmat (a(:, :, 1), [1 1 3]);
      return;
    elseif islogical (a)
      rgb = repmat (uint8 (a(:, :, 1)) * uint8 (255), [1 1 3]);
      return;
    end
  end
  [h, w, ~] = size (a);
  rgb = zeros (h, w, 3);
  if cmyk
    k = 1 - unit (a(:, :, 4));
    for ch = 1:3
      rgb(:, :, ch) = (1 - unit (a(:, :, ch))) .* k;
    end
  elseif planes == 3
    for ch = 1:3
      rgb(:, :, ch) = unit (a(:, :, ch));
    end
  else
    grey = unit (a(:, :, 1));
    for ch = 1:3
      rgb(:, :, ch) = grey;
    end
  end
end

% ---- Samples -----------------------------------------------------------------

function x = unit (x)
% Samples of any class as doubles in [0, 1]: integers over their full range,
% floating-point values clipped.
  if islogical (x)
    x = double (x);
  elseif isinteger (x)
    lo = double (intmin (class (x)));
    span = double (intmax (class (x))) - lo;
    x = double (x);
    if lo ~= 0
      x = x - lo;
    end
    x = x / span;
  else
    x = min (max (double (x), 0), 1);
  end
end

function a = orient (a, o)
% The stored pixels as shown, for EXIF orientation O (1 to 8: which stored
% row and column come at the top and the left).
  switch o
    case 2                                % mirrored left to right
      a = a(:, end:-1:1, :);
    case 3                                % turned half round
      a = a(end:-1:1, end:-1:1, :);
    case 4                                % mirrored top to bottom
      a = a(end:-1:1, :, :);
    case 5                                % transposed
      a = permute (a, [2 1 3]);
    case 6                                % stored a quarter turn anticlockwise
      a = permute (a(end:-1:1, :, :), [2 1 3]);
    case 7                                % transposed the other way
      a = permute (a(end:-1:1, end:-1:1, :), [2 1 3]);
    case 8                                % stored a quarter turn clockwise
      a = permute (a(:, end:-1:1, :), [2 1 3]);
  end
end

% ---- The file's header -------------------------------------------------------

function format = sniff (b)
  format = '';
  if numel (b) >= 8 && isequal (b(1:8)', [137 80 78 71 13 10 26 10])
    format = 'png';
  elseif numel (b) >= 4 && isequal (b(1:4)', double ('GIF8'))
    format = 'gif';
  elseif numel (b) >= 3 && isequal (b(1:3)', [255 216 255])
    format = 'jpeg';
  elseif numel (b) >= 2 && isequal (b(1:2)', double ('BM'))
    format = 'bmp';
  elseif numel (b) >= 4 && (isequal (b(1:4)', [73 73 42 0]) || isequal (b(1:4)', [77 77 0 42]))
    format = 'tiff';
  end
end

function yes = paletted (b, format)
% Whether IMREAD returns indices and a map: a PNG of colour type 3, a GIF,
% a BMP of 8 bits or fewer per pixel.
  switch format
    case 'png'
      yes = numel (b) >= 26 && b(26) == 3;
    case 'gif'
      yes = true;
    case 'bmp'
      yes = numel (b) >= 30 && le (b(29:30)) <= 8;
    otherwise
      yes = false;
  end
end

function [orientation, photometric] = tiffTags (file, head, format)
% The orientation (1 to 8) and photometric interpretation (5 for CMYK, -1
% unknown) from the TIFF structure of a TIFF file or of a JPEG's EXIF block.
  orientation = 1; photometric = -1;
  b = [];
  switch format
    case 'jpeg'
      at = 3;
      while at + 9 <= numel (head) && head(at) == 255
        marker = head(at + 1);
        if marker == 218 || marker == 217  % the image data: no EXIF before it
          break;
        end
        len = be (head(at + 2:at + 3));
        if marker == 225 && isequal (head(at + 4:at + 9)', [double('Exif') 0 0])
          b = head(at + 10:min (end, at + 1 + len));
          break;
        end
        at = at + 2 + len;
      end
    case 'tiff'
      b = head;
  end
  if numel (b) < 8
    return;
  end
  if b(1) == 73
    num = @le;
  else
    num = @be;
  end
  ifd = num (b(5:8));                     % 0-based offset of the first directory
  if strcmp (format, 'tiff') && ifd + 2 > numel (b)
    % Writers often put a TIFF's directory after the image data.
    b = readBytes (file, 2 + 12 * 1024, ifd);
    ifd = 0;
  end
  if ifd + 2 > numel (b)
    return;
  end
  count = num (b(ifd + 1:ifd + 2));
  for k = 1:count
    e = ifd + 2 + 12 * (k - 1);
    if e + 12 > numel (b)
      return;
    end
    tag = num (b(e + 1:e + 2));
    value = num (b(e + 9:e + 10));
    if tag == 274 && value >= 1 && value <= 8
      orientation = value;
    elseif tag == 262
      photometric = value;
    end
  end
end

% ---- Palettes ----------------------------------------------------------------

function entryAlpha = paletteAlpha (file, format, n)
% The opacity of each palette entry, or [] when all are opaque: a GIF's
% transparent colour, a palette PNG's tRNS chunk (Octave reads a palette PNG
% with one as RGBA, MATLAB as a palette).
  entryAlpha = [];
  switch format
    case 'gif'
      [~, transparent] = gifLayout (readBytes (file, Inf));
      if ~isempty (transparent) && transparent < n
        entryAlpha = ones (n, 1);
        entryAlpha(transparent + 1) = 0;
      end
    case 'png'
      [~, ~, t] = pngPalette (readBytes (file, Inf));
      if ~isempty (t)
        entryAlpha = ones (n, 1);
        m = min (n, numel (t));
        entryAlpha(1:m) = t(1:m) / 255;
      end
  end
end

function a = pureIndices (file, format, fail)
% Octave 7 reads a palette image as logical indices when its colours are all
% pure (0 or 255 in every channel), losing every index but 0.  A copy whose
% palette entries are distinct colours that are not pure reads as integer
% indices; the palette itself was read from the file already.
  bytes = readBytes (file, Inf);
  entries = [];                           % the byte offset of each entry's red
  step = 1;                               % + step: green, + 2 step: blue
  switch format
    case 'png'
      [entries, chunk] = pngPalette (bytes);
    case 'gif'
      entries = gifLayout (bytes);
    case 'bmp'
      if numel (bytes) >= 54
        header = le (bytes(15:18));
        count = le (bytes(47:50));
        if count == 0
          count = 2 ^ le (bytes(29:30));
        end
        if header >= 40 && header + 14 + 4 * count <= numel (bytes)
          entries = 14 + header + 4 * (0:count - 1) + 3;     % stored blue, green, red
          step = -1;
        end
      end
  end
  if isempty (entries)
    fail (['Octave''s imread loses the colour indices of this palette image ' ...
           '(all its colours are pure); save it as an RGB image']);
  end
  for k = 1:numel (entries)
    bytes(entries(k) + [0, step, 2 * step]) = [mod(k - 1, 256), 128, 255 - mod(k - 1, 256)];
  end
  if strcmp (format, 'png')
    bytes(chunk(2) + 1:chunk(2) + 4) = be4 (crc32 (bytes(chunk(1):chunk(2))));
  end
  copy = [tempname() '.' format];
  fid = fopen (copy, 'w');
  if fid < 0
    fail ('no room for a temporary copy of its palette');
  end
  fwrite (fid, bytes, 'uint8');
  fclose (fid);
  cleanup = onCleanup (@() delete (copy));
  a = imread (copy);
  a = a(:, :, 1, 1);
  if islogical (a)
    fail (['Octave''s imread loses the colour indices of this palette image ' ...
           '(all its colours are pure); save it as an RGB image']);
  end
end

function [entries, chunk, transparency] = pngPalette (bytes)
% The PLTE chunk (each entry's offset, and the span its CRC covers: type and
% data) and the tRNS chunk's values, both before the image data.
  entries = []; chunk = []; transparency = [];
  at = 9;
  while at + 11 <= numel (bytes)
    len = be (bytes(at:at + 3));
    type = char (bytes(at + 4:at + 7)');
    if at + 11 + len > numel (bytes) || strcmp (type, 'IDAT')
      return;
    end
    if strcmp (type, 'PLTE')
      entries = at + 8 + 3 * (0:floor (len / 3) - 1);
      chunk = [at + 4, at + 7 + len];
    elseif strcmp (type, 'tRNS')
      transparency = bytes(at + 8:at + 7 + len);
    end
    at = at + 12 + len;
  end
end

function [entries, transparent] = gifLayout (bytes)
% The colour table entries of a GIF's first image (its local table, else the
% global one), and the transparent index its graphic control gives ([] for
% none).
  entries = []; transparent = [];
  if numel (bytes) < 13
    return;
  end
  at = 14;
  if bitand (bytes(11), 128)
    span = 3 * 2 ^ (bitand (bytes(11), 7) + 1);
    entries = at + 3 * (0:span / 3 - 1);
    at = at + span;
  end
  while at <= numel (bytes)
    if bytes(at) == 33                    % an extension: label, sub-blocks
      if at + 6 <= numel (bytes) && bytes(at + 1) == 249 && bitand (bytes(at + 3), 1)
        transparent = bytes(at + 6);
      end
      at = at + 2;
      while at <= numel (bytes) && bytes(at) > 0
        at = at + bytes(at) + 1;
      end
      at = at + 1;
    else                                  % the first image (44), or the end
      if bytes(at) == 44 && at + 9 <= numel (bytes) && bitand (bytes(at + 9), 128)
        span = 3 * 2 ^ (bitand (bytes(at + 9), 7) + 1);
        entries = at + 10 + 3 * (0:span / 3 - 1);
      end
      break;
    end
  end
  entries = entries(entries + 2 <= numel (bytes));
end

function bytes = readBytes (file, n, offset)
% N bytes of FILE (Inf: all), from OFFSET (0-based; default 0), as doubles.
  bytes = zeros (0, 1);
  fid = fopen (file, 'r');
  if fid < 0
    return;
  end
  if nargin < 3 || fseek (fid, offset, 'bof') == 0
    bytes = fread (fid, n, 'uint8=>double');
  end
  fclose (fid);
end

function v = be (b)
  v = 256 .^ (numel (b) - 1:-1:0) * b(:);
end

function v = le (b)
  v = 256 .^ (0:numel (b) - 1) * b(:);
end

function b = be4 (v)
  b = mod (floor (v ./ [16777216; 65536; 256; 1]), 256);
end

function c = crc32 (bytes)
% The CRC of a PNG chunk (ISO 3309, as zlib computes it).
  persistent table
  if isempty (table)
    table = zeros (256, 1);
    for n = 0:255
      c = n;
      for k = 1:8
        if bitand (c, 1)
          c = bitxor (3988292384, floor (c / 2));
        else
          c = floor (c / 2);
        end
      end
      table(n + 1) = c;
    end
  end
  c = 4294967295;
  for k = 1:numel (bytes)
    c = bitxor (table(bitand (bitxor (c, bytes(k)), 255) + 1), floor (c / 256));
  end
  c = bitxor (c, 4294967295);
end

% ---- Messages ------------------------------------------------------------------

function why = reason (err)
% The first line of an error from IMREAD or IMFINFO, without the library's
% prefixes and source locations.
  why = strtrim (strtok (err.message, sprintf ('\n')));
  why = regexprep (why, '^(Magick\+\+ exception: )?(Magick: )?', '');
  why = regexprep (why, '\s*\([^()]*\)\s*reported by.*$', '');
  why = regexprep (why, '^(imread|imfinfo): ', '');
  if isempty (why)
    why = 'no reason given';
  end
  why(1) = lower (why(1));
end

function s = describe (x)
  if isempty (x)
    s = 'empty';
  else
    s = sprintf ('a %s array', class (x));
  end
end
