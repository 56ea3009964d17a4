function x = unitSamples (x)
%UNITSAMPLES  Image samples as doubles in [0, 1].
%   X = UNITSAMPLES (X): an unsigned integer class over its whole range
%   (uint8 and uint16 photographs), anything else as it is, in doubles.
  if isinteger (x)
    x = double (x) / double (intmax (class (x)));
  else
    x = double (x);
  end
end
