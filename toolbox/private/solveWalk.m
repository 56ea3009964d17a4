function [x, solveTime, matrixTime, prepared] = solveWalk (G, w, free, fixed, prior, gamma, start, tol, prepared)
% The random walker over the graph G with edge weights W: x minimises
%   x' * L * x + sum (gamma .* ((1 - p) .* x.^2 + p .* (1 - x).^2))
% (GAMMA a scalar or one weight a node)
% with x = FIXED where FREE is false.  With x = xs + y, xs = FIXED off the
% free nodes and 0 on them, y = 0 off them:
%   (L_UU + diag(gamma)) y_U = gamma.*p_U + W_UF*xs_F.
% The fixed nodes keep rows of the identity, so that every entry keeps its
% place whatever the seeds, and the lower triangle comes already sorted.
% PREPARED holds the matrix and its factor: given back (from a call with
% the same G, W, FREE, FIXED and GAMMA), only the prior's side is made
% again, as when the models learn from the answer and solve once more.
  stage = tic;
  n = G.n;
  if nargin < 9 || isempty (prepared)
    xs = fixed .* ~free;
    ends = [G.s; G.t];
    degree = accumarray (ends, [w; w], [n, 1]);
    prepared.toFixed = accumarray (ends, [w .* xs(G.t); w .* xs(G.s)], [n, 1]);
    prepared.xs = xs;
    prepared.diagonal = (degree + gamma) .* free + ~free;
    values = [-w .* (free(G.s) & free(G.t)); prepared.diagonal];
    prepared.lower = sparse (G.rows, G.cols, values(G.order), n, n);
    prepared.upper = prepared.lower.';
    prepared.R = [];
  end
  b = (gamma .* prior + prepared.toFixed) .* free;
  matrixTime = toc (stage);

  % The matrix is symmetric, positive definite and diagonally dominant, so
  % conjugate gradients preconditioned by its modified incomplete Cholesky
  % factor converge in a few steps, fewer from a good start; should they
  % not, the direct solver takes over.
  stage = tic;
  y = start .* free;
  if isempty (prepared.R)
    prepared.R = ichol (prepared.lower, struct ('michol', 'on'));
  end
  [y, ok] = conjugateGradients (prepared.upper, prepared.lower, prepared.diagonal, b, tol, 200, prepared.R, y);
  if ~ok
    y = (prepared.lower + prepared.upper - spdiags (prepared.diagonal, 0, n, n)) \ b;
  end
  x = y + prepared.xs;
  solveTime = toc (stage);
end
