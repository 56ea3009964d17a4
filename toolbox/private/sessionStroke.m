function S = sessionStroke (S, kind, xy, radius)
%SESSIONSTROKE  A painted stroke added to a session, and the update it makes.
%   S = SESSIONSTROKE (S, KIND, XY) adds a stroke to the session S
%   (SESSIONOPEN) and updates the segmentation at the working scale.  KIND
%   is 'fg' or 'bg'; XY is an N-by-2 list of (x, y) points in image pixels
%   (x the column, y the row, pixel centres at whole numbers), joined into
%   a polyline; the stroke marks every pixel within S.radius pixels of it,
%   taking those pixels from the other kind.
%   S = SESSIONSTROKE (S, KIND, XY, RADIUS) sets the brush radius.
  if nargin < 4 || isempty (radius)
    radius = S.radius;
  end
  if ~any (strcmp (kind, {'fg', 'bg'}))
    error ('rwsegment: a stroke is ''fg'' or ''bg'', not ''%s''', kind);
  end
  at = brush (xy, radius, S.fullH, S.fullW);
  % What undo restores: the seeds the stroke covers and the solution before.
  S.history{end + 1} = struct ('at', at, 'fg', S.fg(at), 'bg', S.bg(at), 'x', S.x, ...
                               'prob', S.prob, 'labels', S.labels, 'ready', S.ready, ...
                               'time', S.time);
  S.strokes(end + 1) = struct ('kind', kind, 'xy', double (xy), 'radius', radius);
  S = seedsAt (S, at, strcmp (kind, 'fg'), strcmp (kind, 'bg'));
  S = sessionUpdate (S, 1e-3, S.strokeRounds);
end
