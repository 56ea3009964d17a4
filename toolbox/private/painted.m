function img = painted (img, mask, colour)
%PAINTED  An image with the pixels of a mask in one colour.
%   IMG = PAINTED (IMG, MASK, COLOUR) sets every pixel of the H-by-W-by-3
%   IMG where the H-by-W MASK is true to COLOUR, an RGB triple.
  for ch = 1:3
    plane = img(:, :, ch);
    plane(mask) = colour(ch);
    img(:, :, ch) = plane;
  end
end
