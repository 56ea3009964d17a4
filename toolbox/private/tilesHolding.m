function cores = tilesHolding (mask, tile)
%TILESHOLDING  The TILE-by-TILE squares of an image that hold a pixel of MASK.
%   CORES = TILESHOLDING (MASK, TILE): a cell array, a cell per square
%   holding a true pixel of the H-by-W logical MASK (the image cut into
%   squares from its top left corner, the last ones cut at its edges), in
%   column order; each cell {ROWS, COLS}, the square's row and column
%   ranges.  Empty where MASK holds no true pixel.
  [h, w] = size (mask);
  [r, c] = find (mask);
  tr = ceil (h / tile);
  tiles = unique ((ceil (c / tile) - 1) * tr + ceil (r / tile));
  cores = cell (numel (tiles), 1);
  for k = 1:numel (tiles)
    ti = mod (tiles(k) - 1, tr);
    tj = (tiles(k) - 1 - ti) / tr;
    cores{k} = {(ti * tile + 1):min(h, (ti + 1) * tile), (tj * tile + 1):min(w, (tj + 1) * tile)};
  end
end
