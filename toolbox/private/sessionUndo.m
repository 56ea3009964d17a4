function S = sessionUndo (S)
%SESSIONUNDO  The last stroke of a session taken back.
%   S = SESSIONUNDO (S) takes back the last stroke added by SESSIONSTROKE
%   and restores the state before it; without strokes, S is unchanged.
  if isempty (S.strokes)
    return;
  end
  before = S.history{end};
  S.history(end) = [];
  S.strokes(end) = [];
  S = seedsAt (S, before.at, before.fg, before.bg);
  for f = {'x', 'prob', 'labels', 'ready', 'time'}
    S.(f{1}) = before.(f{1});
  end
end
