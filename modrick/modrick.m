%MODRICK  Positions of ordered pairs in a reference list of pairs.
%   P = MODRICK(A, B, C, D) gives every query pair (C(p), D(p)) the row
%   P(p) of an equal pair (A(i), B(i)) of the reference list, found by one
%   forward scan.  P is an m-by-1 uint32 column, m the number of rows of C.
%
%   The reference list has as many pairs as A has rows, the query list as
%   many as C has rows; only those rows are read, and any further columns or
%   inputs are ignored.  Pairs are ordered: (2,1) and (1,2) differ.
%
%   The scan keeps one reference cursor that never moves back, so the
%   queries must come in the order of the reference list:
%
%       P(p) is the smallest i >= P(p-1) (i >= 1 for the first query),
%       i <= rows of A, with A(i) == C(p) and B(i) == D(p).
%
%   So equal queries that follow one another get the same row, a pair held
%   more than once is found at its first occurrence at or after the cursor,
%   and the queries need not cover the reference list.  A query whose equal
%   pair lies only before the cursor is not found.  When C has no rows, P is
%   a 0-by-1 uint32 array, even if A is empty.
%
%   The inputs must be real, full int32 or uint32 arrays, in any mix; they
%   are compared as 32-bit words, so int32(-1) equals intmax('uint32').
%   Convert indices held as doubles with UINT32 first.  B needs at least as
%   many elements as A has rows, and D as many as C has rows.  At least one
%   output must be requested.
%
%   Errors:
%     "4 input arguments are required."    fewer than four inputs;
%     "1 output arguments are required."   no output requested;
%     "Input X must be a real, full int32 or uint32 array."
%                                          input X (A, B, C or D, the first
%                                          such one) is of another class,
%                                          sparse or complex;
%     "Input A has more than 4294967295 rows.",
%     "Input C has more than 2147483647 rows.";
%     "Input A has fewer elements than rows." (likewise C): rows but no
%                                          columns;
%     "Input B has fewer elements than A has rows." (likewise D and C);
%     "Unexpected input combination"       some query was not found at or
%                                          after the row of the query
%                                          before it.
%
%   A use with PALLANT: the row of every edge's reverse edge.  PALLANT
%   lists its edges by source pixel, so the edges of one offset come in
%   increasing order of source, and so do their reverses (T, S), which all
%   come from the opposite offset: one call per offset finds them.
%       su = uint32(s);  tu = uint32(t);  rev = zeros(size(s), 'uint32');
%       for k = 1:numel(ro)
%         mine = find(t - s == double(co(k)) * h + double(ro(k)));
%         rev(mine) = modrick(su, tu, tu(mine), su(mine));
%       end
%
%   Example: a query pair that repeats, and a reference pair passed over
%       A = uint32([1; 3; 5; 7]);  B = uint32([2; 4; 6; 8]);
%       P = modrick(A, B, uint32([3; 3; 7]), uint32([4; 4; 8]));
%       disp(P')
%   gives the rows of A and B at which the queries were found:
%       2  2  4
%
%   See also PALLANT, KESTROW.
