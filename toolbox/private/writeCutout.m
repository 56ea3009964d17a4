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
  % the right level).  The colour is cleared a plane at a time, and only
  % where it is not clear already (the matte's colours are).)
  [h, w] = size (alpha);
  if ~isa (fg, cls)
    samples = fg;
    fg = zeros (h, w, 3, cls);
    for first = 1:256:w
      cols = first:min (w, first + 255);
      fg(:, cols, :) = cast (round (min (max (unitSamples (samples(:, cols, :)), 0), 1) * top), cls);
    end
    clear samples
  end
  if islogical (alpha)
    off = ~alpha;
    opacity = cast (alpha, cls) * intmax (cls);
  else
    off = alpha <= 0;
    opacity = zeros (h, w, cls);
    for first = 1:256:w
      cols = first:min (w, first + 255);
      opacity(:, cols) = cast (double (alpha(:, cols)) * top, cls);
    end
  end
  for ch = 1:3
    plane = fg(:, :, ch);
    if any (plane(off))
      plane(off) = 0;
      fg(:, :, ch) = plane;
    end
  end
  writeImage (fg, file, 'Alpha', opacity);
end
