% rwsegment on its built-in image labels at least 98% of the pixels as the
% regions they were made in, and writes its picture (the image, the
% probability and the outline side by side), its mask and its cut-out.
addpath (fullfile (fileparts (mfilename ('fullpath')), '..', '..', 'toolbox'));
out = [tempname() '.png'];
evalc ('[labels, prob, info] = rwsegment ([], [], out);');
assert (info.accuracy >= 0.98, sprintf ('accuracy %.4f', info.accuracy));
assert (all (prob(:) >= -1e-9 & prob(:) <= 1 + 1e-9));
assert (size (imread (out)), [512, 3 * 512 + 16, 3]);
assert (isequal (imread (info.mask) > 0, labels) && size (imread (info.cutout), 3) == 3);
delete (out, info.mask, info.cutout);
