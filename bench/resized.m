function out = resized (img, h, w)
%RESIZED  An image stretched bilinearly to H-by-W pixels.
%   OUT = RESIZED (IMG, H, W): pixel centres mapped onto pixel centres, the
%   edge pixels held beyond the edge; the photographs of every composite.
  [H, W, ~] = size (img);
  rows = min (max (((1:h) - 0.5) * H / h + 0.5, 1), H);
  cols = min (max (((1:w) - 0.5) * W / w + 0.5, 1), W);
  out = lerp (lerp (img, rows, 1), cols, 2);
end

function out = lerp (img, at, dim)
  lo = min (floor (at), size (img, dim) - 1);
  t = at - lo;
  if dim == 1
    out = img(lo, :, :) .* (1 - t(:)) + img(lo + 1, :, :) .* t(:);
  else
    out = img(:, lo, :) .* (1 - t) + img(:, lo + 1, :) .* t;
  end
end
