function out = sideBySide (panels)
%SIDEBYSIDE  Panels of one height joined into a picture, 8 white pixels apart.
%   OUT = SIDEBYSIDE (PANELS) joins the H-by-Wk-by-3 arrays in the cell
%   array PANELS (values in [0, 1]; outside it they are clipped) from left
%   to right, with a white gap of 8 pixels between two, as an 8-bit image:
%   every job's picture.
  h = size (panels{1}, 1);
  % Each panel made 8 bits first (the conversion rounds to the nearest
  % level and saturates, so it clips as well, and NaN gives 0): the
  % picture is never held in doubles whole, five arrays of 61 MB for a
  % 12-megapixel photograph's.
  for k = 1:numel (panels)
    panels{k} = uint8 (255 * panels{k});
  end
  gap = 255 * ones (h, 8, 3, 'uint8');
  parts = [panels(:).'; repmat({gap}, 1, numel (panels))];
  out = cat (2, parts{1:end - 1});
end
