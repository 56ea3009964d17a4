function factor = workingFactor (h, w, pixels)
%WORKINGFACTOR  The block size at which a session works on an image.
%   FACTOR = WORKINGFACTOR (H, W) is the working scale of an H-by-W image:
%   at least 2, and the smallest that leaves at most 2^18 working pixels (2
%   up to 1024-by-1024, 7 for 12 megapixels).  WORKINGFACTOR (H, W,
%   PIXELS) the one for at most PIXELS working pixels.
  if nargin < 3
    pixels = 2^18;
  end
  factor = max (2, ceil (sqrt (h * w / pixels)));
end
