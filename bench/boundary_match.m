function share = boundary_match (labels, truth)
%BOUNDARY_MATCH  How closely a mask's boundary follows the true edge.
%   SHARE = BOUNDARY_MATCH (LABELS, TRUTH): of the boundary pixels of the
%   mask LABELS (pixels of the mask with a 4-neighbour outside it) that lie
%   within 10 pixels of the true edge (where the boundary follows that
%   edge), the share within 1 pixel of it (in the 3-by-3 neighbourhood of
%   a pixel on either side of the edge of TRUTH).
  edge = border (truth) | border (~truth);
  mine = border (labels);
  near = conv2 (double (edge), ones (3), 'same') > 0;
  follows = conv2 (double (edge), ones (21), 'same') > 0;
  share = nnz (mine & near) / max (nnz (mine & follows), 1);
end

function b = border (mask)
  [h, w] = size (mask);
  inner = mask;
  inner(2:h, :) = inner(2:h, :) & mask(1:h - 1, :);
  inner(1:h - 1, :) = inner(1:h - 1, :) & mask(2:h, :);
  inner(:, 2:w) = inner(:, 2:w) & mask(:, 1:w - 1);
  inner(:, 1:w - 1) = inner(:, 1:w - 1) & mask(:, 2:w);
  b = mask & ~inner;
end
