function n = hashNoise (count, stream)
% COUNT values of mean 0 and variance 1: each the sum of four uniform draws
% from a quadratic hash of the index modulo a prime below 2^25 (so every
% product is exact in double arithmetic), centred and scaled.
  m = 33554393;
  i = (1:count).';
  n = zeros (count, 1);
  for draw = 1:4
    x = remainder (i * 7919 + (4 * stream + draw) * 104729, m);
    for r = 1:3
      x = remainder (x .* x + 12345 + r, m);
    end
    n = n + (x + 0.5) / m;
  end
  n = (n - 2) * sqrt (3);
end

function r = remainder (a, m)
% MOD (A, M) for whole A >= 0 below 2^53, twice as fast: A / M is rounded
% so little that its floor is exact (a remainder of 1 or M - 1 moves it
% further from a whole number than half a unit in its last place).
  r = a - floor (a / m) * m;
end
