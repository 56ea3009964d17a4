% Pixel-graph toolbox: segmentation and graph methods on images.
% Version 1.0.0
%
% Extension functions (MEX files, built from C++)
%   pallant   - The edges of a pixel graph given by (row, column) offsets.
%   kestrow   - A scaled Gaussian kernel over the columns of a matrix.
%   modrick   - Positions of query pairs in a reference pair list.
%
% Segmentation from strokes
%   rwsegment - Foreground and background of a photograph from painted strokes.
%
% Soft edges
%   rwmatte   - The opacity and the object's own colours from a trimap.
%
% Regions without strokes
%   ncsegment - An image split into K regions by a normalized cut.
%
% The jobs' parts (reading image files, the painting session, the test
% image) are in private/: the jobs call them, they are not on your path.
