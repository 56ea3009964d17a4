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
%   Example: the row of the reverse edge of every edge of a 4-neighbour
%   pixel graph.  PALLANT lists its edges by source pixel and then by
%   offset; with the offsets in increasing order of t - s that is the order
%   of SORTROWS([s t]), so the reverse edges (t, s) are brought into it by
%   sorting them the same way.
%       [s, t, ~, ~] = pallant(rand(4, 5), int32([0; -1; 1; 0]), int32([-1; 0; 0; 1]));
%       s = uint32(s);  t = uint32(t);
%       [~, order] = sortrows([t s]);
%       rev = zeros(size(s), 'uint32');
%       rev(order) = modrick(s, t, t(order), s(order));
%       % now s(rev) == t and t(rev) == s
%
%   See also PALLANT, KESTROW.
