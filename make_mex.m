function make_mex ()
%MAKE_MEX  Build pallant, kestrow and modrick at the MATLAB prompt.
%   Run MAKE_MEX from any folder.  The MEX files and their help files are
%   written to build/matlab beside this script; add that folder to the path.
%   Every gateway is written against 32-bit array dimensions, so the files
%   are built with -compatibleArrayDims.  (Octave users: see README.md.)
%
%   The compiler is the one MEX has selected (mex -setup C++): MSVC or
%   MinGW-w64 on Windows, GCC on Linux, Clang (Xcode) on macOS.

  root = fileparts (mfilename ('fullpath'));
  outdir = fullfile (root, 'build', 'matlab');
  if ~exist (outdir, 'dir')
    mkdir (outdir);
  end

  % The order of floating-point operations is part of the results: no
  % contraction into fused multiply-adds, no fast-math.  The C++ runtime is
  % linked in where the compiler's own would otherwise be needed at run time
  % (and could be older in MATLAB's folders than the compiler's).
  cc = mex.getCompilerConfigurations ('C++', 'Selected');
  if isempty (cc)
    error ('make_mex: no C++ compiler is selected; run  mex -setup C++  first');
  end
  gnu = {'-std=c++17', '-ffp-contract=off', '-fno-fast-math'};
  if ispc && ~isempty (regexpi ([cc.ShortName ' ' cc.Name], 'mingw', 'once'))
    % MinGW-w64: static runtime, threads library included (without -static
    % the files would need libwinpthread-1.dll).
    flags = {['CXXFLAGS=$CXXFLAGS ' strjoin(gnu, ' ')], ...
             'LDFLAGS=$LDFLAGS -static -static-libgcc -static-libstdc++'};
  elseif ispc
    % Microsoft Visual C++: kestrow's x86 paths need GCC or Clang, so it
    % builds the portable path (crexp/isa.h).
    flags = {'COMPFLAGS=$COMPFLAGS /std:c++17 /fp:precise'};
  elseif ismac
    flags = {['CXXFLAGS=$CXXFLAGS ' strjoin(gnu, ' ') ' -fvisibility=hidden']};
  else
    flags = {['CXXFLAGS=$CXXFLAGS ' strjoin(gnu, ' ') ' -fvisibility=hidden'], ...
             'LDFLAGS=$LDFLAGS -static-libgcc -static-libstdc++ -Wl,--exclude-libs,ALL'};
  end

  % Each function is every C++ source of its folder, and of the folders it
  % uses besides (add a folder here when a function comes to share one).
  functions = {'pallant', {}; 'kestrow', {'crexp'}; 'modrick', {}};

  for k = 1:size (functions, 1)
    name = functions{k, 1};
    folders = [{name}, functions{k, 2}];
    sources = {};
    includes = {['-I' fullfile(root, 'host')]};
    for f = folders
      dirname = fullfile (root, f{1});
      found = dir (fullfile (dirname, '*.cpp'));
      sources = [sources, fullfile(dirname, {found.name})];
      includes{end + 1} = ['-I' dirname];
    end
    mex ('-compatibleArrayDims', '-outdir', outdir, '-output', name, ...
         includes{:}, flags{:}, sources{:});
    copyfile (fullfile (root, name, [name '.m']), outdir);
  end
  fprintf ('Built into %s\n', outdir);
end
