function q = lowerTimes (upper, lower, diagonal, v)
% A*v, written out so that each product is taken as transpose-times.
  q = upper.' * v + lower.' * v - diagonal .* v;
end
