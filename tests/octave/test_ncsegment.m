% ncsegment on images made here: four regions of flat colour under a
% lighting gradient and noise that colour alone does not see through are
% recovered, the same labels come twice, pallant gets the whole disc of
% offsets, a large image is worked smaller and answered at full size; and
% each refusal.
1;
addpath (fullfile (fileparts (mfilename ('fullpath')), '..', '..', 'toolbox'));

function [img, truth, colours] = fourRegions (h, w)
% A disc and a bar with a notch over two halves split by a wave, brighter
% to the lower right, with Gaussian noise of 0.2 in every channel.
  [u, v] = meshgrid (((1:w) - 0.5) / w, ((1:h) - 0.5) / h);
  truth = 1 + (v > 0.55 + 0.1 * sin (4 * u + 1));
  truth((u - 0.35).^2 + (v - 0.4).^2 < 0.2^2) = 3;
  truth(abs (u - 0.75) < 0.12 & abs (v - 0.5) < 0.3 & ~(abs (u - 0.75) < 0.05 & v < 0.4)) = 4;
  colours = [0.70 0.45 0.25; 0.35 0.60 0.35; 0.75 0.35 0.60; 0.35 0.40 0.70];
  randn ('state', 21);
  img = zeros (h, w, 3);
  for ch = 1:3
    img(:, :, ch) = reshape (colours(truth, ch), h, w) .* (0.75 + 0.5 * (u + v) / 2) + 0.2 * randn (h, w);
  end
  img = min (max (img, 0), 1);
end

function score = matched (labels, truth)
% The share of pixels right under the best one-to-one matching of labels
% to regions.
  K = max (truth(:));
  counts = accumarray ([truth(:), labels(:)], 1, [K K]);
  P = perms (1:K);
  score = max (sum (counts(sub2ind ([K K], repmat (1:K, size (P, 1), 1), P)), 2)) / numel (truth);
end

out = [tempname() '.png'];
[img, truth, colours] = fourRegions (320, 480);
% Colour alone: each pixel to the nearest of the four colours.
near = zeros (numel (truth), 4);
for k = 1:4
  near(:, k) = sum ((reshape (img, [], 3) - colours(k, :)).^2, 2);
end
[~, nearest] = min (near, [], 2);
assert (mean (nearest == truth(:)) < 0.75, 'the noise is too weak for the test');

evalc ('[labels, info] = ncsegment (img, 4, out);');
assert (size (labels), [320 480]);
assert (matched (labels, truth) >= 0.97, sprintf ('regions recovered: %.4f', matched (labels, truth)));
evalc ('again = ncsegment (img, 4, out);');
assert (isequal (labels, again), 'a second call gave other labels');
% pallant was given every offset of the disc of radius 3 at full size.
[dc, dr] = meshgrid (-3:3);
inDisc = dr.^2 + dc.^2 <= 9 & (dr ~= 0 | dc ~= 0);
edges = sum ((320 - abs (dr(inDisc))) .* (480 - abs (dc(inDisc))));
assert ([info.offsets, info.edges], [28, edges]);
picture = imfinfo (out);
assert ([picture.Height, picture.BitDepth], [320, 8]);

% A large image (600 by 700, not square, so rows and columns cannot swap
% unnoticed) is worked at a reduced scale and labelled at full size.
[img, truth] = fourRegions (600, 700);
evalc ('[labels, info] = ncsegment (img, 4, out);');
assert (info.scale < 1);
assert (size (labels), [600 700]);
assert (matched (labels, truth) >= 0.97, sprintf ('at reduced scale: %.4f', matched (labels, truth)));
delete (out);

% Refusals, before any work.
expect_error (@ncsegment, 'ncsegment: K must be a whole number of regions, 2 or more', 1, img, 1, out);
expect_error (@ncsegment, 'ncsegment: K is 10, more than the image''s 9 pixels', 1, ones (3, 3, 3), 10, out);
expect_error (@ncsegment, 'ncsegment: the radius must be 1 or more, not 0.5', 1, img, 4, out, 'radius', 0.5);
nowhere = fullfile (tempname (), 'picture.png');
expect_error (@ncsegment, sprintf ('ncsegment: cannot write the picture %s: there is no folder %s', ...
                                   nowhere, fileparts (nowhere)), 1, img, 4, nowhere);
