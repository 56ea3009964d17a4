function S = seedsAt (S, at, fg, bg)
%SEEDSAT  A session's seeds set at some pixels, its per-block counts kept.
%   S = SEEDSAT (S, AT, FG, BG) sets S.fg(AT) = FG and S.bg(AT) = BG
%   (logical, a value for each pixel of AT or one for all) and changes
%   S.count, how many pixels of each kind every working-scale block holds,
%   by what those pixels add or take away, so that an update after a
%   stroke never counts over the whole image again (at 48 megapixels that
%   took a tenth of a second a stroke).  An empty S.count is made afresh
%   by SESSIONUPDATE.
  if ~isempty (S.count)
    r = mod (at - 1, S.fullH) + 1;
    c = (at - r) / S.fullH + 1;
    block = ceil (r / S.factor) + (ceil (c / S.factor) - 1) * S.h;
    n = S.h * S.w;
    S.count.fg = S.count.fg + reshape (accumarray (block, double (fg) - double (S.fg(at)), [n, 1]), S.h, S.w);
    S.count.bg = S.count.bg + reshape (accumarray (block, double (bg) - double (S.bg(at)), [n, 1]), S.h, S.w);
  end
  S.fg(at) = fg;
  S.bg(at) = bg;
end
