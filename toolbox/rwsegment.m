function [labels, prob, info] = rwsegment (imageFile, seedFile, outFile, gamma, strokeFile, cutout)
%RWSEGMENT  Foreground and background of a colour image from a few seed strokes.
%   RWSEGMENT with no argument segments a 512-by-512 test image that it
%   makes itself (coloured regions of non-convex shape under a lighting
%   gradient, with noise strong enough that colour alone does not separate
%   them), with seed strokes that fit it, and prints how many pixels it
%   labels as the regions it knows.
%
%   RWSEGMENT (IMAGEFILE) opens a window with the colour (or grey) image
%   in IMAGEFILE, in which you paint the strokes: drag with the left mouse
%   button over the foreground, with the right button over the background.
%   Each stroke, once the button is released, updates the segmentation,
%   whose outline is drawn over the image; Backspace (or U) takes back the
%   last stroke; Enter, or closing the window, ends the session and returns
%   what the batch form below would for the same strokes.  Every update
%   prints a line "Update: <strokes> strokes, <fg>% foreground, <seconds> s".
%   It needs a display: in Octave, start octave (not octave-cli) on a
%   desktop or with DISPLAY set.
%
%   RWSEGMENT (IMAGEFILE, SEEDFILE) segments the image in IMAGEFILE with
%   no window.  SEEDFILE is an image of the same size whose red strokes
%   (pure red, 255 0 0) mark foreground and whose blue strokes (pure blue,
%   0 0 255) mark background; every other pixel is unmarked, so the
%   strokes can be drawn over a copy of the photograph or on black.  A
%   pixel less than half opaque in a seed file with transparency is
%   unmarked, whatever its colour.
%
%   Both files may be of any kind IMREAD reads: JPEG
%   (RGB, grey or CMYK), PNG (RGB, grey, with or without alpha, 8 or 16
%   bits, palettes of every depth), GIF, TIFF, BMP.  A JPEG's EXIF
%   orientation is applied, so that the image, the seed file drawn over
%   it, the window, the mask and the cut-out are the photograph as every
%   viewer shows it (a phone's portrait photo upright).  The image's
%   transparency is ignored: its stored colours are segmented.  Every kind
%   was tested in Octave 7; MATLAB's IMREAD conventions are handled from
%   its documentation only.
%
%   RWSEGMENT (IMAGEFILE, SEEDFILE, OUTFILE), or RWSEGMENT ([], [], OUTFILE)
%   for the test image, writes three files (OUTFILE's default:
%   rwsegment.png in the current folder), and prints their paths:
%   - OUTFILE, the picture to look at: side by side, the image with its
%     seeds, the foreground probability (dark blue 0 to dark red 1) and the
%     outline of the foreground over the image; 8 bits, and scaled down to
%     3,200 pixels wide in all for an image more than 1,061 pixels wide;
%   - OUT_mask.png (OUT being OUTFILE without its extension), the mask at
%     the image's full size: 8-bit grey, 255 on the foreground, 0
%     elsewhere, exactly LABELS;
%   - OUT_cutout.png, the object on a transparent background at full size,
%     RGBA (16 bits for a 16-bit image), with soft edges: along the
%     boundary of LABELS, RWMATTE's method mattes a band of pixels (15 each
%     side at 12 megapixels, scaled with the image; wider, up to 150
%     pixels, where strands of hair or a wider blur cross its rim and the
%     matte has not settled there), so that the alpha there is the object's
%     opacity, between 0 and 1, and the colour the object's own, without
%     the background that showed through (no halo over a new background);
%     elsewhere alpha 255 on the foreground with the image's colours
%     unchanged, alpha 0 and colour 0 off it.  A separate part of the
%     object narrower than the band has no opaque pixel for the matte to
%     hold to: the matte decides its opacity (it may fade, as crumbs of
%     the labels along strands should), while the mask keeps it and the
%     hard cut-out below keeps it opaque.
%   RWSEGMENT (IMAGEFILE, [], OUTFILE) paints, then does the same.
%
%   RWSEGMENT (IMAGEFILE, SEEDFILE, OUTFILE, GAMMA) sets the weight of the
%   colour prior, a finite real number > 0 (default 0.002).  The prior
%   labels every pixel by its colour alone, as the strokes' colours
%   suggest; the weight says how far the strokes reach against it: a pixel
%   takes its label from the strokes through the image's edges as far as
%   about sqrt (8 / GAMMA) pixels of a 512-by-512 image (63 at the
%   default), and beyond that from its colour.  The weight is scaled with
%   the image's size, so that the same strokes reach as far across the
%   picture, and give the same answer, at every resolution.  Lower it
%   (0.001) when parts of the object share colours with the background
%   somewhere (the answer then follows the strokes and the edges); raise it
%   (0.02 to 0.05) for a noisy image whose edges are weak, where colour is
%   the better guide.  The default was chosen on photographs: composites
%   of wallpaper photographs and a photograph-like image, 99.4% of their
%   pixels right on average (bench/weight_sweep.m; 98.3% at 0.05).
%
%   RWSEGMENT (IMAGEFILE, [], OUTFILE, GAMMA, STROKEFILE) paints and also
%   writes the strokes to STROKEFILE as a seed file (red and blue on black),
%   which RWSEGMENT (IMAGEFILE, STROKEFILE) segments the same way.
%
%   RWSEGMENT (..., GAMMA, STROKEFILE, 'hard') writes the cut-out with hard
%   edges instead, exactly LABELS: alpha 255 on the foreground with the
%   image's colours unchanged, alpha 0 and colour 0 elsewhere ('soft', the
%   default, mattes its edges; GAMMA and STROKEFILE may be []).  The matte
%   is made once, for the final answer: painting keeps its speed.
%
%   Before any work, RWSEGMENT refuses, with one line naming the argument
%   or the path: a GAMMA that is not a finite real number > 0; a cut-out
%   kind other than 'soft' or 'hard'; an output
%   file (the picture, the mask, the cut-out, STROKEFILE) that cannot be
%   written, or a picture without an image file extension; then, once
%   read, a file that cannot be read, a seed file of another size than the
%   image, or one without both kinds of stroke.
%
%   A photograph of any size is segmented at full resolution where it
%   matters: first at a working scale of at most 2^18 pixels (512-by-512;
%   a 12-megapixel photograph at 1/7), then once more on the photograph's
%   own pixels in a strip along the boundary found there.  Away from the
%   boundary the probability is the working scale's, interpolated.  A
%   12-megapixel photograph takes about 8 s and 0.94 GB, files included,
%   with the hard cut-out; the soft one's matte takes longer, in
%   proportion to the length of the object's outline and to the strands
%   it follows (docs/matting.md and docs/performance.md have the figures).
%   The painting window updates at a working scale of at most 2^16 pixels
%   (its outline is that answer, with the strokes' own colour models: the
%   models learn from the answer at Enter), in a fraction of a second at
%   any size;
%   Enter gives the full-resolution answer of the batch form.
%
%   [LABELS, PROB, INFO] = RWSEGMENT (...) returns the H-by-W logical
%   foreground mask, the foreground probability of every pixel, and a
%   struct with the edge count, the time of every stage, the paths of the
%   files written (INFO.picture, INFO.mask, INFO.cutout) and, for the test
%   image, the accuracy; after painting, also the
%   strokes (INFO.strokes: kind 'fg' or 'bg', the (x, y) points in image
%   pixels, the brush radius).
%
%   The method: a random walker with colour priors.  PALLANT lists the
%   edges of the 8-neighbour pixel graph with their squared differences in
%   colour and in sharpness (two more channels: how much detail the image
%   holds around a pixel, and how much of it is finer than the working
%   scale's blocks, so that an object in focus stands apart from a blurred
%   background of the same colours, even where that background's colours
%   swing widely); KESTROW evaluates Gaussian
%   mixtures of the foreground's and the background's features at every
%   pixel; MODRICK pairs every edge with its reverse edge so that
%   direction-dependent weights become symmetric.  The foreground
%   probability x minimises
%       x' * L * x + gamma * sum ((1 - p) .* x.^2 + p .* (1 - x).^2)
%   with the seeds fixed (1 foreground, 0 background), L the graph
%   Laplacian and p the prior; a pixel is foreground where x >= 0.5.  The
%   mixtures are first fitted to the strokes, then, three times, to the
%   answer (each time solved again), so that a colour the object holds but no
%   stroke covers is taken in; what the answer calls foreground only
%   barely (x below 0.8) teaches the background's mixture as well, so that
%   a blurred region of the object's colours beside it leans to the
%   background it belongs to.  Where a pixel's features are unlike both
%   strokes' mixtures and out of focus (little detail finer than the
%   working scale's blocks), gamma is a tenth as large: which mixture's
%   tail reaches further is no evidence there, and the edges decide (a
%   blurred leaf of a colour no stroke covers, beside a leaf in focus).
%   Wherever the image is more blurred than nearly all that the
%   foreground strokes cover and the prior leans to the foreground, gamma
%   is three tenths as large: colours that a blurred background shares
%   with the object in focus are no evidence either, and the sharp edge
%   at the object's outline decides.  (Strokes on blurred parts of the
%   object keep the prior's whole weight there.)
%   The steps of the computation, one
%   stroke at a time, and the reader of image files are the toolbox's own
%   parts, in its private folder.
%
%   Regions no foreground stroke reaches: a region labelled foreground
%   that touches no foreground stroke is kept when its colours and
%   sharpness are about as typical of the foreground strokes as the
%   strokes' own pixels and its probability is clearly foreground (0.75
%   or more on average: another part of the same object, as every blob of
%   a multi-part object of one kind comes out, stroked or not), and
%   dropped when it merely resembles them or is foreground only barely
%   (clouds, a wall elsewhere in the picture, blurred leaves of a leaf's
%   colours around it).  So is a region joined to a stroked one only
%   through a neck, a few working pixels wide (in-focus grass beside a
%   leaf's lobe): what remains of the foreground when it is shrunk by 3
%   working pixels is weighed piece by piece, the pieces no stroke
%   touches as such regions are (a piece of fewer than 32 working
%   pixels is kept unweighed).  A region of the background of other stuff than
%   any background stroke's that touches the foreground over two fifths
%   to nine tenths of its rim, and no background stroke, joins it (a blue
%   cup at the edge of a blob of the object's dark ones); one that the
%   foreground encloses is a hole in it and stays out.  A separate part
%   of other colours than any stroke's (a red cup apart from the stroked
%   blue ones) is not told from another object and is left out.  To keep
%   a region that was dropped, paint a foreground stroke on it; to drop
%   one that was kept, or one that joined, paint a background stroke on
%   it.
%
%   Needs PALLANT, KESTROW and MODRICK on the path, and the private folder
%   beside this file.  Runs in MATLAB and in GNU Octave.
%
%   See also NCSEGMENT, PALLANT, KESTROW, MODRICK.

  started = tic;
  requireFunctions ();
  if nargin < 3 || isempty (outFile)
    outFile = 'rwsegment.png';
  end
  if nargin < 4 || isempty (gamma)
    gamma = 0.002;
  end
  if nargin < 5
    strokeFile = '';
  end
  if nargin < 6 || isempty (cutout)
    cutout = 'soft';
  end
  info = struct ();
  painting = nargin >= 1 && ~isempty (imageFile) && (nargin < 2 || isempty (seedFile));

  % ---- Refusals, before any work -------------------------------------------
  if ~isnumeric (gamma) || ~isscalar (gamma) || ~isreal (gamma) || ~isfinite (gamma) || gamma <= 0
    error ('rwsegment: GAMMA (the 4th argument, the weight of the colour prior) must be a finite real number > 0, not %s', ...
           shown (gamma));
  end
  if ~ischar (cutout) || ~any (strcmp (cutout, {'soft', 'hard'}))
    error ('rwsegment: CUTOUT (the 6th argument) must be ''soft'' or ''hard'', not %s', shown (cutout));
  end
  files = outputFiles (outFile);
  inputs = {};
  if nargin >= 1
    inputs{end + 1} = imageFile;
  end
  if nargin >= 2
    inputs{end + 1} = seedFile;
  end
  outputs = {files.picture, files.mask, files.cutout};
  if painting
    outputs{end + 1} = strokeFile;
  end
  checkOutputs ('rwsegment', inputs, outputs);
  writable ('rwsegment', files.picture, 'image');
  writable ('rwsegment', files.mask, '');
  writable ('rwsegment', files.cutout, '');
  if painting && ~isempty (strokeFile)
    writable ('rwsegment', strokeFile, 'image');
  end

  % ---- The image and its seeds ------------------------------------------
  truth = [];
  if painting
    requireDisplay ();
    [img, ~, bits] = rwread (imageFile, 'rwsegment', true);
    info.source = imageFile;
    [S, info] = paintWindow (img, imageFile, gamma, info, started);
    fgSeed = S.fg; bgSeed = S.bg;
    if ~S.ready
      fprintf ('rwsegment: the window was closed before both foreground and background were painted\n');
    end
    if ~isempty (strokeFile)
      seeds = zeros ([size(fgSeed), 3], 'uint8');
      seeds(:, :, 1) = 255 * uint8 (fgSeed);
      seeds(:, :, 3) = 255 * uint8 (bgSeed);
      imwrite (seeds, strokeFile);
      info.strokeFile = strokeFile;
      fprintf ('Strokes: %s\n', strokeFile);
    end
  else
    if nargin < 1 || isempty (imageFile)
      [img, testStrokes, truth] = testImage ();
      bits = 8;
      [fgSeed, bgSeed] = strokeMasks (testStrokes, size (img, 1), size (img, 2));
      info.source = 'the built-in test image';
    else
      % The seed file first, kept as two masks only: a photograph's size in
      % doubles is 288 MB at 12 megapixels, and one is enough.
      stage = tic;
      [seeds, opacity] = rwread (seedFile, 'rwsegment', 'logical');
      [fgSeed, bgSeed] = strokes (seeds, opacity);
      clear seeds opacity
      [img, ~, bits] = rwread (imageFile, 'rwsegment', true);   % 8 or 16 bits kept
      info.time.read = toc (stage);
      if size (fgSeed, 1) ~= size (img, 1) || size (fgSeed, 2) ~= size (img, 2)
        error ('rwsegment: the seed image is %d-by-%d, the image %d-by-%d', ...
               size (fgSeed, 1), size (fgSeed, 2), size (img, 1), size (img, 2));
      end
      info.source = imageFile;
    end
    if ~any (fgSeed(:)) || ~any (bgSeed(:))
      error ('rwsegment: the seeds need red (foreground) and blue (background) strokes');
    end
  end

  % ---- The segmentation --------------------------------------------------
  % From scratch for the final seeds, as the batch form does, so that the
  % painted strokes saved as a seed file give the same result; the window's
  % session is kept where it works at the batch form's scale.
  if ~painting || S.ready
    if ~painting || S.factor ~= workingFactor (size (img, 1), size (img, 2))
      S = sessionOpen (img, gamma);
    end
    S = sessionSeeds (S, fgSeed, bgSeed);
  end
  info.edges = S.edges + S.stripEdges;
  for f = {'graph', 'priors', 'matrix', 'solve', 'full'}
    info.time.(f{1}) = S.time.(f{1});
  end
  info.time.segment = toc (started);
  labels = S.labels;
  prob = S.prob;
  if isempty (labels)                     % painted one kind of seed only
    labels = S.fg;
    prob = double (S.fg);
  end
  [fullH, fullW, ~] = size (img);

  % ---- Report and picture ------------------------------------------------
  fprintf ('Image: %d x %d pixels (%s)\n', fullH, fullW, info.source);
  if S.factor > 1
    fprintf ('Worked at 1/%d scale (%d x %d pixels), then at full resolution in a strip of %d pixels around the boundary\n', ...
             S.factor, S.h, S.w, S.strip);
  end
  fprintf ('Seeds: %d foreground, %d background pixels\n', nnz (fgSeed), nnz (bgSeed));
  fprintf ('Graph: %d edges (8 neighbours)\n', info.edges);
  fprintf ('Foreground: %.1f%% of the pixels\n', 100 * mean (labels(:)));
  stage = tic;
  writeImage (picture (img, fgSeed, bgSeed, prob, labels), files.picture);
  info.time.picture = toc (stage);
  stage = tic;
  imwrite (uint8 (labels) * 255, files.mask);
  info.time.mask = toc (stage);
  stage = tic;
  if strcmp (cutout, 'soft') && any (labels(:)) && ~all (labels(:))
    [alpha, fg] = mattecutout (img, labels, 1e-6);
    writeCutout (fg, alpha, bits, files.cutout);
    clear alpha fg
  else
    writeCutout (img, labels, bits, files.cutout);
  end
  info.time.cutout = toc (stage);
  info.picture = files.picture;
  info.mask = files.mask;
  info.cutout = files.cutout;
  fprintf ('Picture: %s\n', files.picture);
  fprintf ('Mask: %s\n', files.mask);
  fprintf ('Cut-out: %s\n', files.cutout);
  info.time.total = toc (started);
  fprintf (['Time: graph %.2f s, priors %.2f s, weights and matrix %.2f s, solve %.2f s; ' ...
            'full-resolution strip %.2f s; files %.2f s; total %.2f s\n'], ...
           info.time.graph, info.time.priors, info.time.matrix, info.time.solve, info.time.full, ...
           info.time.picture + info.time.mask + info.time.cutout, info.time.total);
  if ~isempty (truth)
    info.accuracy = mean (labels(:) == truth(:));
    fprintf ('Accuracy: %.4f\n', info.accuracy);
  end
end

% ---- What it needs ---------------------------------------------------------

function requireFunctions ()
% PALLANT, KESTROW and MODRICK must be on the path as compiled functions.
  names = {'pallant', 'kestrow', 'modrick'};
  missing = names(cellfun (@(n) exist (n) ~= 3, names));
  if isempty (missing)
    return;
  end
  if numel (missing) == 1
    what = sprintf ('%s is', missing{1});
  else
    what = sprintf ('%s and %s are', strjoin (missing(1:end - 1), ', '), missing{end});
  end
  root = fileparts (fileparts (mfilename ('fullpath')));
  built = fullfile (root, 'build', 'octave');
  if exist (fullfile (built, [missing{1} '.mex']), 'file')
    how = sprintf ('They are built in %s: addpath (''%s'')', built, built);
  else
    how = sprintf (['Build them in %s with "bash examples/run" (or "cmake -S . -B build && ' ...
                    'cmake --build build") and addpath (''%s''); or install the Octave package ' ...
                    '(pkg install build/pixelgraph-1.0.0.tar.gz, then pkg load pixelgraph); ' ...
                    'in MATLAB, run make_mex there and addpath build/matlab'], root, built);
  end
  error ('rwsegment: %s not on the path (the MEX functions it runs on). %s', what, how);
end

function requireDisplay ()
% Painting needs a window system and a graphics toolkit with callbacks.
  if exist ('OCTAVE_VERSION', 'builtin')
    ok = have_window_system () && ~strcmp (graphics_toolkit (), 'gnuplot');
  else
    ok = usejava ('awt');
  end
  if ~ok
    error (['rwsegment: painting strokes needs a window, and there is no display here. ' ...
            'Start Octave with a display (octave, not octave-cli; DISPLAY set), ' ...
            'or give a seed file: rwsegment (IMAGEFILE, SEEDFILE)']);
  end
end

% ---- The painting window ---------------------------------------------------

function [S, info] = paintWindow (img, name, gamma, info, started)
% Shows IMG, then builds what does not depend on the seeds, then lets the
% strokes be painted until Enter or the window is closed.
  [h, w, ~] = size (img);
  % One screen pixel per image pixel where the image fits on the screen
  % (with room for a window frame), scaled down where it does not.
  screen = get (0, 'ScreenSize');
  scale = min ([1, (screen(3) - 40) / w, (screen(4) - 80) / h]);
  dw = max (1, round (w * scale));
  dh = max (1, round (h * scale));
  G.rows = min (h, max (1, round (((1:dh) - 0.5) * h / dh + 0.5)));
  G.cols = min (w, max (1, round (((1:dw) - 0.5) * w / dw + 0.5)));
  G.shown = uint8 (round (255 * unitSamples (img(G.rows, G.cols, :))));
  [~, base] = fileparts (name);
  fig = figure ('Name', sprintf ('rwsegment: %s', base), 'NumberTitle', 'off', ...
                'MenuBar', 'none', 'ToolBar', 'none', 'Units', 'pixels', ...
                'Position', [max(1, round ((screen(3) - dw) / 2)), max(1, round ((screen(4) - dh) / 2)), dw, dh], ...
                'Color', [0 0 0], 'Interruptible', 'off', 'BusyAction', 'queue');
  G.axes = axes ('Parent', fig, 'Units', 'normalized', 'Position', [0 0 1 1], ...
                 'XLim', [0.5, w + 0.5], 'YLim', [0.5, h + 0.5], 'YDir', 'reverse', ...
                 'Visible', 'off');
  G.image = image ('Parent', G.axes, 'CData', G.shown, ...
                   'XData', [0.5 + w / dw / 2, w + 0.5 - w / dw / 2], ...
                   'YData', [0.5 + h / dh / 2, h + 0.5 - h / dh / 2]);
  set (G.axes, 'XLim', [0.5, w + 0.5], 'YLim', [0.5, h + 0.5], 'Visible', 'off');
  drawnow ();
  info.time.window = toc (started);

  % Updates at a working scale of at most 2^16 pixels (a 12-megapixel
  % photograph at 1/14), quick at every size; Enter gives the batch form's
  % answer, at full resolution.
  G.S = sessionOpen (img, gamma, true, workingFactor (h, w, 2^16));
  G.S.radius = max (3, 3 / scale);        % a brush 7 screen pixels wide
  G.S.strokeRounds = 0;                   % no learning while painting: quick
  G.lineWidth = (2 * G.S.radius * scale + 1) * 72 / get (0, 'ScreenPixelsPerInch');
  G.stroke = [];
  G.kind = 'fg';
  info.time.ready = toc (started);
  setappdata (fig, 'rwsegment', G);
  set (fig, 'WindowButtonDownFcn', @buttonDown, 'WindowButtonMotionFcn', @motion, ...
            'WindowButtonUpFcn', @buttonUp, 'KeyPressFcn', @keyPress, ...
            'CloseRequestFcn', @(f, varargin) uiresume (f));
  set (fig, 'Name', ['rwsegment: paint the foreground with the left mouse button, ' ...
                     'the background with the right; Enter ends']);
  uiwait (fig);

  if ~ishandle (fig)
    error ('rwsegment: the window was destroyed before the session ended');
  end
  G = getappdata (fig, 'rwsegment');
  info.updates = getappdata (fig, 'rwsegmentUpdates');   % seconds, one per update
  delete (fig);
  S = G.S;
  info.strokes = S.strokes;
end

function buttonDown (fig, varargin)
  G = getappdata (fig, 'rwsegment');
  switch get (fig, 'SelectionType')
    case 'normal'
      G.kind = 'fg';
    case 'alt'
      G.kind = 'bg';
    case 'extend'
      return;
  end                                     % 'open', a double click: as before
  point = get (G.axes, 'CurrentPoint');
  colour = [1 0 0];
  if strcmp (G.kind, 'bg')
    colour = [0 0 1];
  end
  G.stroke = line ('Parent', G.axes, 'XData', point(1, 1), 'YData', point(1, 2), ...
                   'Color', colour, 'LineWidth', G.lineWidth, 'Marker', 'none');
  setappdata (fig, 'rwsegment', G);
end

function motion (fig, varargin)
  G = getappdata (fig, 'rwsegment');
  if isempty (G.stroke) || ~ishandle (G.stroke)
    return;
  end
  point = get (G.axes, 'CurrentPoint');
  set (G.stroke, 'XData', [get(G.stroke, 'XData'), point(1, 1)], ...
                 'YData', [get(G.stroke, 'YData'), point(1, 2)]);
  drawnow ();
end

function buttonUp (fig, varargin)
  G = getappdata (fig, 'rwsegment');
  if isempty (G.stroke) || ~ishandle (G.stroke)
    return;
  end
  started = tic;
  point = get (G.axes, 'CurrentPoint');
  xy = [get(G.stroke, 'XData'), point(1, 1); get(G.stroke, 'YData'), point(1, 2)].';
  delete (G.stroke);
  G.stroke = [];
  G.S = sessionStroke (G.S, G.kind, xy);
  redraw (fig, G, started);
end

function keyPress (fig, event)
  switch lower (event.Key)
    case {'return', 'enter'}
      uiresume (fig);
    case {'backspace', 'delete', 'u'}
      G = getappdata (fig, 'rwsegment');
      if ~isempty (G.S.strokes)
        started = tic;
        G.S = sessionUndo (G.S);
        redraw (fig, G, started);
      end
  end
end

function redraw (fig, G, started)
% Stores the session, shows the image with the seeds painted in and the
% outline of the foreground, then reports the update (timed from STARTED
% to the drawn window) in the title and the command window.
  S = G.S;
  layer = zeros (size (G.shown, 1), size (G.shown, 2), 'uint8');
  % The outline is the answer at the working scale, S.factor pixels a block.
  if S.ready
    work = S.x >= 0.5;
    layer(regionEdges (work(ceil (G.rows / S.factor), ceil (G.cols / S.factor)))) = 1;
    share = mean (work(:));
  else
    share = mean (S.fg(:));
  end
  layer(S.fg(G.rows, G.cols)) = 2;
  layer(S.bg(G.rows, G.cols)) = 3;
  at = find (layer);
  colours = uint8 ([255 255 0; 255 0 0; 0 0 255]);
  shown = G.shown;
  pixels = numel (layer);
  for ch = 1:3
    shown(at + (ch - 1) * pixels) = colours(layer(at), ch);
  end
  set (G.image, 'CData', shown);
  setappdata (fig, 'rwsegment', G);
  drawnow ();

  seconds = toc (started);
  setappdata (fig, 'rwsegmentUpdates', [getappdata(fig, 'rwsegmentUpdates'), seconds]);
  summary = sprintf ('%d strokes, %.1f%% foreground, %.2f s', numel (S.strokes), ...
                     100 * share, seconds);
  fprintf ('Update: %s\n', summary);
  if S.ready
    set (fig, 'Name', ['rwsegment: ' summary]);
  elseif any (S.fg(:))
    set (fig, 'Name', ['rwsegment: ' summary '; now paint the background (right button)']);
  else
    set (fig, 'Name', ['rwsegment: ' summary '; now paint the foreground (left button)']);
  end
end

% ---- Input and output files ---------------------------------------------------

function [fg, bg] = strokes (seeds, opacity)
% Red strokes are foreground seeds, blue strokes background seeds; a pixel
% less than half opaque is neither.  SEEDS of any class RWREAD gives; a
% logical one (pure colours) is its own masks.
  r = seeds(:, :, 1); g = seeds(:, :, 2); b = seeds(:, :, 3);
  if islogical (seeds)
    fg = r & ~g & ~b;
    bg = b & ~r & ~g;
  else
    top = 1;
    if isinteger (seeds)
      top = double (intmax (class (seeds)));
    end
    fg = r >= 0.8 * top & g <= 0.25 * top & b <= 0.25 * top;
    bg = b >= 0.8 * top & r <= 0.25 * top & g <= 0.25 * top;
  end
  if ~isempty (opacity)
    fg = fg & opacity >= 0.5;
    bg = bg & opacity >= 0.5;
  end
end

function files = outputFiles (outFile)
% The picture OUTFILE, and beside it OUT_mask.png and OUT_cutout.png.
  if ~ischar (outFile) || size (outFile, 1) ~= 1
    error ('rwsegment: OUTFILE (the 3rd argument) must be a file name, not %s', shown (outFile));
  end
  [folder, base] = fileparts (outFile);
  files.picture = outFile;
  files.mask = fullfile (folder, [base '_mask.png']);
  files.cutout = fullfile (folder, [base '_cutout.png']);
end

function s = shown (value)
  if isnumeric (value) && isscalar (value)
    s = num2str (value);
  elseif ischar (value) && size (value, 1) <= 1
    s = sprintf ('''%s''', value);
  elseif isempty (value)
    s = 'empty';
  else
    s = sprintf ('a %s array', class (value));
  end
end

% ---- The picture -----------------------------------------------------------

function out = picture (img, fgSeed, bgSeed, prob, labels)
% Three panels side by side, 8 white pixels apart, in 8 bits: the image with
% its seeds, the foreground probability, the foreground outline over the
% image.  Beyond 3,200 pixels in all, the panels are scaled down, each
% composed from the scaled-down image, seeds and labels (a full-size
% picture of a 12-megapixel photograph would take 870 MB in doubles).
  [h, w, ~] = size (img);
  scale = min (1, (3200 - 16) / 3 / w);
  if scale < 1
    % Each pixel of a panel is the mean of four samples spread over its
    % share of the image (a full average over every pixel of a 12-megapixel
    % photograph costs ten times as long, for a picture to look at).
    k1 = max (1, round (h * scale));
    k2 = max (1, round (w * scale));
    r = samples (h, k1);
    c = samples (w, k2);
    mean4 = @(x) (unitSamples (x(r(:, 1), c(:, 1), :)) + unitSamples (x(r(:, 2), c(:, 1), :)) + ...
                  unitSamples (x(r(:, 1), c(:, 2), :)) + unitSamples (x(r(:, 2), c(:, 2), :))) / 4;
    img = mean4 (img);
    prob = mean4 (prob);
    labels = mean4 (labels) >= 0.5;
    fgSeed = blockAny (fgSeed, k1, k2);   % however thin, a stroke shows
    bgSeed = blockAny (bgSeed, k1, k2);
    h = k1;
  else
    img = unitSamples (img);
  end
  seeds = painted (painted (img, fgSeed, [1 0 0]), bgSeed, [0 0 1]);
  out = sideBySide ({seeds, rwheat(prob), outlined(img, labels, [1 1 0])});
end

function at = samples (n, k)
% For each of K equal shares of N pixels, the pixels at a quarter and at
% three quarters of it (a K-by-2 index).
  at = min (n, max (1, ceil (((0:k - 1).' + [0.25, 0.75]) * n / k)));
end

function small = blockAny (mask, k1, k2)
% Which of K1-by-K2 equal shares of MASK hold a pixel of it.
  [h, w] = size (mask);
  [r, c] = find (mask);
  small = false (k1, k2);
  small(min (k1, ceil (r(:) * k1 / h)) + (min (k2, ceil (c(:) * k2 / w)) - 1) * k1) = true;
end
