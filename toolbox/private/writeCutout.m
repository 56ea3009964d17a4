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
  if ~isa (fg, cls)
    fg = cast (round (min (max (unitSamples (fg), 0), 1) * top), cls);
  end
  % (Each array a 12-megapixel image's size in doubles is 96 MB: none is
  % made that the file does not need.  Conversion to an integer class
  % rounds to the nearest level; a single ALPHA is scaled in doubles, where
  % the product is exact, so that it rounds to the right level.)
  if islogical (alpha)
    fg(repmat (~alpha, [1 1 3])) = 0;
    opacity = cast (alpha, cls) * intmax (cls);
  else
    fg(repmat (alpha <= 0, [1 1 3])) = 0;
    opacity = cast (double (alpha) * top, cls);
  end
  writeImage (fg, file, 'Alpha', opacity);
end
