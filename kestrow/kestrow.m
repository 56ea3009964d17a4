%KESTROW  Gaussian kernel value of every column of a matrix.
%   V = KESTROW(X, MU, IS, K) returns the 1-by-N row V with
%
%       V(c) = K * exp(-1/2 * (X(:,c) - MU)' * IS * (X(:,c) - MU))
%
%   for every column X(:,c) of the D-by-N matrix X.  MU is the D-by-1
%   centre, IS a D-by-D matrix (for a Gaussian, the inverse of its
%   covariance; it need not be symmetric or definite) and K a 1-by-1 scale
%   factor.  All four inputs must be real, full double matrices.
%
%   The values are the same to the last bit on every platform and CPU.
%   The quadratic form is summed in a fixed order:
%       d = X(:,c) - MU
%       q = sum over j of d(j) * (sum over m of d(m) * IS(m,j)),
%   each sum added in index order, each product rounded before it is
%   added, then V(c) = exp(q * -0.5) * K, where exp is kestrow's own
%   exponential: correctly rounded, the double nearest to e^x, which is
%   unique, so no library or instruction set can change it.  MATLAB's and
%   Octave's exp come from the platform and can differ from it in the last
%   bit, so V is not guaranteed to equal the MATLAB expression above in
%   the last bit.
%
%   D = 0 gives N copies of K; N = 0 gives a 1-by-0 row.  NaN and Inf
%   propagate as IEEE arithmetic makes them; nothing is clamped.  Every
%   NaN in V is the one NaN with the bits 0x7FF8000000000000 (the sign and
%   payload of a NaN input are not kept), so NaNs too are the same bits
%   everywhere.
%
%   Errors.  Exactly four inputs and one output are expected.  An input
%   that is not a real double matrix with 2 dimensions is reported, the
%   first such at the lowest position, after a line naming it (positions
%   counted from 0) is printed to standard output:
%       ??? Input 2 is not a real double matrix with 2 dimension(s): {double==1,complex==0,ndims==3}
%   A sparse input, or one with more than 2147483647 rows or columns, is
%   refused.  If MU is not D-by-1, IS not D-by-D or K not 1-by-1, D, N and
%   the four shapes are printed, then "Input dimensions are not consistent."
%   is raised.
%
%   For the likelihood of every pixel of an H-by-W-by-3 image IMG under a
%   colour Gaussian with mean M (3-by-1) and covariance C:
%       v = kestrow(reshape(IMG, [], 3)', M, inv(C), 1 / sqrt((2*pi)^3 * det(C)));
%
%   Example: three points of the plane under a unit Gaussian at (1, 0)
%       v = kestrow([1 2 1; 0 0 2], [1; 0], eye(2), 1);
%       fprintf('%.4f\n', v)
%   gives K * exp(-|x - MU|^2 / 2) for each column:
%       1.0000
%       0.6065
%       0.1353
%
%   kestrow is a MEX file; this file holds its help text only.
