function S = sessionSeeds (S, fg, bg)
%SESSIONSEEDS  A session's answer for whole seed masks: the batch form's.
%   S = SESSIONSEEDS (S, FG, BG) replaces the seeds of the session S
%   (SESSIONOPEN) by the H-by-W masks FG and BG (a pixel in both is
%   foreground) and forgets the strokes, solves at the working scale and
%   then, where the working scale is coarser than the image, once more at
%   full resolution in a strip around the boundary found there
%   (SESSIONREFINE): the answer of the batch form.
  S.history = {};
  S.strokes = struct ('kind', {}, 'xy', {}, 'radius', {});
  S.fg = logical (fg);
  S.bg = logical (bg) & ~S.fg;
  S.count = [];                            % counted afresh
  S = sessionUpdate (S, 1e-3);
  if S.ready && S.factor > 1
    S = sessionRefine (S, 1e-2);           % labels are all it must decide
  end
end
