function writeCutout (fg, alpha, bits, file)
%WRITECUTOUT  An RGBA PNG of the object's colours FG and the opacity ALPHA.
%   WRITECUTOUT (FG, ALPHA, BITS, FILE): FG H-by-W-by-3 (uint8, uint16 or
%   doubles in [0, 1]), ALPHA H-by-W in [0, 1]; 16 bits a sample when BITS
%   > 8, else 8; ALPHA may be logical (the hard cut-out).  The colour is 0
%   wherever ALPHA is 0 (which also keeps the file small).  Every job's
%   cut-out: RWMATTE's, and RWSEGMENT's, soft or hard (ALPHA its labels, FG
%   the photograph's own samples).
  if bits > 8
    cls = 'uint16';
  else
    cls = 'uint8';
  end
  top = double (intmax (cls));
  % (Each array a 12-megapixel image's size in doubles is 96 MB, and a
  % fresh one costs more than its arithmetic: none is made.  Samples of
  % another class are converted, and ALPHA scaled, a strip of columns at a
  % time (conversion to an integer class rounds to the nearest level; ALPHA
  % is scaled in doubles, where the product is exact, so that it rounds to
  % the right level); the colour is cleared by ZEROWHERE.)
  if ~isa (fg, cls)
    fg = inStrips (fg, cls, @(s) round (min (max (unitSamples (s), 0), 1) * top));
  end
  if islogical (alpha)
    off = ~alpha;
    opacity = cast (alpha, cls) * intmax (cls);
  else
    off = alpha <= 0;
    opacity = inStrips (alpha, cls, @(a) double (a) * top);
  end
  fg = zeroWhere (fg, off);
  writeImage (fg, file, 'Alpha', opacity);
end

function out = inStrips (x, cls, f)
% F (a strip of X's columns) cast to CLS, 256 columns at a time.
  [h, w, d] = size (x);
  out = zeros (h, w, d, cls);
  for first = 1:256:w
    cols = first:min (w, first + 255);
    out(:, cols, :) = cast (f (x(:, cols, :)), cls);
  end
end
