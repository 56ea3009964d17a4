function make_mex ()
%MAKE_MEX  Build pallant, kestrow and modrick at the MATLAB prompt.
%   Run MAKE_MEX from any folder.  The MEX files and their help files are
%   written to build/matlab beside this script; add that folder to the path.
%   Every gateway is written against 32-bit array dimensions, so the files
%   are built with -compatibleArrayDims.  (Octave users: see README.md.)

  root = fileparts (mfilename ('fullpath'));
  outdir = fullfile (root, 'build', 'matlab');
  if ~exist (outdir, 'dir')
    mkdir (outdir);
  end

  % The order of floating-point operations is part of the results: no
  % contraction into fused multiply-adds, no fast-math.
  if ispc
    flags = {'COMPFLAGS=$COMPFLAGS /std:c++17 /fp:precise'};
  else
    flags = {'CXXFLAGS=$CXXFLAGS -std=c++17 -ffp-contract=off -fvisibility=hidden'};
  end

  functions = { ...
    'pallant', {'pallant_mex.cpp', 'offset_edges.cpp'}; ...
    'kestrow', {'kestrow_mex.cpp', 'column_gaussian.cpp', 'column_gaussian_avx2.cpp', ...
                'column_gaussian_avx512.cpp', 'column_gaussian_neon.cpp', ...
                '../crexp/exponential.cpp', '../crexp/exponential_accurate.cpp', ...
                '../crexp/exponential_table.cpp', '../crexp/exponential_avx2.cpp', ...
                '../crexp/exponential_avx512.cpp', '../crexp/exponential_neon.cpp', ...
                '../crexp/isa.cpp'}; ...
    'modrick', {'modrick_mex.cpp', 'pair_lookup.cpp'}};

  for k = 1:size (functions, 1)
    name = functions{k, 1};
    dir = fullfile (root, name);
    sources = fullfile (dir, functions{k, 2});
    mex ('-compatibleArrayDims', '-outdir', outdir, '-output', name, ...
         ['-I' fullfile(root, 'host')], ['-I' fullfile(root, 'crexp')], ['-I' dir], flags{:}, sources{:});
    copyfile (fullfile (dir, [name '.m']), outdir);
  end
  fprintf ('Built into %s\n', outdir);
end
