function [x, solveTime, matrixTime] = solveWalk (G, w, free, fixed, prior, gamma, start, tol)
% The random walker over the graph G with edge weights W: x minimises
%   x' * L * x + gamma * sum ((1 - p) .* x.^2 + p .* (1 - x).^2)
% with x = FIXED where FREE is false.  With x = xs + y, xs = FIXED off the
% free nodes and 0 on them, y = 0 off them:
%   (L_UU + gamma*I) y_U = gamma*p_U + W_UF*xs_F.
% The fixed nodes keep rows of the identity, so that every entry keeps its
% place whatever the seeds, and the lower triangle comes already sorted.
  stage = tic;
  n = G.n;
  xs = fixed .* ~free;
  ends = [G.s; G.t];
  degree = accumarray (ends, [w; w], [n, 1]);
  toFixed = accumarray (ends, [w .* xs(G.t); w .* xs(G.s)], [n, 1]);
  diagonal = (degree + gamma) .* free + ~free;
  values = [-w .* (free(G.s) & free(G.t)); diagonal];
  lower = sparse (G.rows, G.cols, values(G.order), n, n);
  upper = lower.';
  b = (gamma * prior + toFixed) .* free;
  matrixTime = toc (stage);

  % The matrix is symmetric, positive definite and diagonally dominant, so
  % conjugate gradients preconditioned by its modified incomplete Cholesky
  % factor converge in a few steps, fewer from a good start; should they
  % not, the direct solver takes over.
  stage = tic;
  y = start .* free;
  R = ichol (lower, struct ('michol', 'on'));
  [y, ok] = conjugateGradients (upper, lower, diagonal, b, tol, 200, R, y);
  if ~ok
    y = (lower + upper - spdiags (diagonal, 0, n, n)) \ b;
  end
  x = y + xs;
  solveTime = toc (stage);
end
