function matte_bench (what, dir, k, mp)
%MATTE_BENCH  Matting on composites with a known soft alpha, as a user runs it.
%   MATTE_BENCH ('make', DIR, K, MP) writes composite K of MATTE_COMPOSITES
%   at MP megapixels into DIR: image.jpg (quality 95), trimap.png (the
%   benchmark trimap: 0, 128, 255), seeds.png (a person's strokes, red and
%   blue on black) and truth.mat (the true alpha, foreground, a new
%   background and the band).
%   MATTE_BENCH ('matte', DIR) runs RWMATTE (image.jpg, trimap.png,
%   matte.png) and MATTE_BENCH ('segment', DIR) RWSEGMENT (image.jpg,
%   seeds.png, seg.png), each saving its time and the process's peak
%   memory (VmHWM) in DIR/matte.txt or DIR/segment.txt, with the CPU
%   time of the whole process (Octave's start included): run each in a
%   fresh Octave.
%   MATTE_BENCH ('score', DIR) prints a row for each cut-out there
%   (matte.png, seg_cutout.png, and peer.png from bench/matte_peer.py),
%   scored by MATTE_SCORE, and a row for the time of a second run started
%   with the huge-page tunable where DIR holds one (matte-huge.txt,
%   segment-huge.txt: bench/mattes).
  toolbox_parts ();              % the jobs' reader and the session's steps
  switch what
    case 'make'
      c = matte_composites (k, mp);
      imwrite (c.img, fullfile (dir, 'image.jpg'), 'Quality', 95);
      imwrite (uint8 (round (c.trimap * 255)), fullfile (dir, 'trimap.png'));
      [h, w, ~] = size (c.img);
      [fgSeed, bgSeed] = strokeMasks (c.strokes, h, w);
      seeds = zeros (h, w, 3, 'uint8');
      seeds(:, :, 1) = 255 * uint8 (fgSeed);
      seeds(:, :, 3) = 255 * uint8 (bgSeed);
      imwrite (seeds, fullfile (dir, 'seeds.png'));
      alpha = single (c.alpha);
      fg = uint8 (round (c.fg * 255));
      newbg = uint8 (round (c.newbg * 255));
      band = c.band;
      name = c.name;
      save ('-binary', fullfile (dir, 'truth.mat'), 'alpha', 'fg', 'newbg', 'band', 'name');
    case 'matte'
      t = tic;
      [~, ~, info] = rwmatte (fullfile (dir, 'image.jpg'), fullfile (dir, 'trimap.png'), ...
                              fullfile (dir, 'matte.png'));
      total = toc (t);
      fid = fopen (fullfile (dir, 'matte.txt'), 'w');
      fprintf (fid, '%.2f %.0f %.2f %d %.2f %.2f %.2f %.2f\n', total, peakMemory () / 1024, cputime (), ...
               info.unknown, info.time.read, info.time.alpha, info.time.colour, info.time.write);
      fclose (fid);
    case 'segment'
      t = tic;
      evalc ('[~, ~, info] = rwsegment (fullfile (dir, ''image.jpg''), fullfile (dir, ''seeds.png''), fullfile (dir, ''seg.png''));');
      total = toc (t);
      fid = fopen (fullfile (dir, 'segment.txt'), 'w');
      fprintf (fid, '%.2f %.0f %.2f %.2f\n', total, peakMemory () / 1024, cputime (), info.time.cutout);
      fclose (fid);
    case 'score'
      T = load (fullfile (dir, 'truth.mat'));
      c.alpha = double (T.alpha);
      c.fg = double (T.fg) / 255;
      c.newbg = double (T.newbg) / 255;
      c.band = T.band;
      fprintf ('%s: band %d pixels\n', T.name, nnz (c.band));
      files = {'matte.png', 'rwmatte given the benchmark trimap', 'matte.txt'; ...
               'seg_cutout.png', 'rwsegment from strokes', 'segment.txt'; ...
               'peer.png', 'information-flow (OpenCV alphamat), benchmark trimap', 'peer.txt'};
      for j = 1:size (files, 1)
        file = fullfile (dir, files{j, 1});
        if ~exist (file, 'file')
          continue;
        end
        [fg, alpha] = rwread (file);
        s = matte_score (alpha, fg, c);
        fprintf ('| %s | %.4f | %.1f%% | %.1f%% | %s |\n', files{j, 2}, s.mse, 100 * s.flat, ...
                 100 * s.photo, cost (fullfile (dir, files{j, 3})));
        [~, base] = fileparts (files{j, 3});
        huge = fullfile (dir, [base '-huge.txt']);     % bench/mattes, HUGE
        if exist (huge, 'file')
          fprintf ('| %s, Octave started with the huge-page tunable | (the same file) | | | %s |\n', ...
                   files{j, 2}, cost (huge));
        end
      end
  end
end

function text = cost (file)
% "T s, M MB (CPU C s in all)" from a run's record FILE, or ''.
  text = '';
  if exist (file, 'file')
    v = sscanf (fileread (file), '%f');
    text = sprintf ('%.1f s, %.0f MB', v(1), v(2));
    if numel (v) > 2
      text = sprintf ('%s (CPU %.1f s in all)', text, v(3));
    end
  end
end

function kb = peakMemory ()
% The process's peak resident memory in kB (Linux).
  status = fileread ('/proc/self/status');
  kb = str2double (regexp (status, 'VmHWM:\s*(\d+)', 'tokens', 'once'));
end
