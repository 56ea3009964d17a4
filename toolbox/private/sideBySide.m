function out = sideBySide (panels)
%SIDEBYSIDE  Panels of one height joined into a picture, 8 white pixels apart.
%   OUT = SIDEBYSIDE (PANELS) joins the H-by-Wk-by-3 arrays in the cell
%   array PANELS (values in [0, 1]; outside it they are clipped) from left
%   to right, with a white gap of 8 pixels between two, as an 8-bit image:
%   every job's picture.
  h = size (panels{1}, 1);
  gap = ones (h, 8, 3);
  parts = [panels(:).'; repmat({gap}, 1, numel (panels))];
  out = cat (2, parts{1:end - 1});
  out = uint8 (round (255 * min (max (out, 0), 1)));
end
