function G = walkGraph (E, n)
% The graph of the linear system over N nodes: the edges E (a lower and a
% higher node each) and the order in which the lower triangle of the
% matrix, diagonal included, is assembled from [edges; nodes] on every
% solve (by column, then row).
  G = E;
  G.n = n;
  rows = [max(E.s, E.t); (1:n).'];
  cols = [min(E.s, E.t); (1:n).'];
  [~, G.order] = sort (cols * n + rows);
  G.rows = rows(G.order);
  G.cols = cols(G.order);
end
