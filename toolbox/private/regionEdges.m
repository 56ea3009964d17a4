function edge = regionEdges (labels)
%REGIONEDGES  The boundaries between the regions of a label array.
%   EDGE = REGIONEDGES (LABELS) is true at every pixel of the H-by-W LABELS
%   (logical or whole numbers) that has a 4-neighbour of another label, so
%   that each boundary is two pixels wide, one on either side: the outline
%   every job draws.
  edge = false (size (labels));
  down = labels(1:end - 1, :) ~= labels(2:end, :);
  right = labels(:, 1:end - 1) ~= labels(:, 2:end);
  edge(1:end - 1, :) = edge(1:end - 1, :) | down;
  edge(2:end, :) = edge(2:end, :) | down;
  edge(:, 1:end - 1) = edge(:, 1:end - 1) | right;
  edge(:, 2:end) = edge(:, 2:end) | right;
end
