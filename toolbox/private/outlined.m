function img = outlined (img, labels, colour)
%OUTLINED  An image with the boundaries of its regions drawn over it.
%   IMG = OUTLINED (IMG, LABELS, COLOUR) paints the boundaries of the
%   H-by-W LABELS (REGIONEDGES) over the H-by-W-by-3 IMG in COLOUR, an RGB
%   triple.
  img = painted (img, regionEdges (labels), colour);
end
