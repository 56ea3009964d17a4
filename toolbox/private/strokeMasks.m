function [fg, bg] = strokeMasks (strokes, h, w)
%STROKEMASKS  The seed masks of a list of strokes.
%   [FG, BG] = STROKEMASKS (STROKES, H, W) gives the H-by-W seed masks of
%   the strokes in the struct array STROKES (fields kind, xy and radius, as
%   SESSIONSTROKE takes them), painted in order, a later stroke taking its
%   pixels from the other kind.
  fg = false (h, w);
  bg = false (h, w);
  for k = 1:numel (strokes)
    at = brush (strokes(k).xy, strokes(k).radius, h, w);
    fg(at) = strcmp (strokes(k).kind, 'fg');
    bg(at) = ~fg(at);
  end
end
