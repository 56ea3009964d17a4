function [x, ok] = conjugateGradients (upper, lower, diagonal, b, tol, maxit, R, x)
% Preconditioned conjugate gradients for A*x = b, A = lower + upper -
% diag(diagonal) given by its two triangles (upper = lower.'), each
% multiplied in its transposed form, which for a sparse matrix stored by
% column is the fast one; the preconditioner is R*R.'.
  Rt = R.';
  limit = tol * norm (b);
  r = b - lowerTimes (upper, lower, diagonal, x);
  ok = norm (r) <= limit;
  if ok
    return;
  end
  z = Rt \ (R \ r);
  p = z;
  rz = r.' * z;
  for it = 1:maxit
    q = lowerTimes (upper, lower, diagonal, p);
    alpha = rz / (p.' * q);
    x = x + alpha * p;
    r = r - alpha * q;
    if norm (r) <= limit
      ok = true;
      return;
    end
    z = Rt \ (R \ r);
    rzNext = r.' * z;
    p = z + (rzNext / rz) * p;
    rz = rzNext;
  end
end
