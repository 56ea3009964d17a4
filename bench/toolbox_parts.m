function toolbox_parts ()
%TOOLBOX_PARTS  The toolbox's own parts made callable from a bench script.
%   The jobs' steps (the painting session, the test image, the reader) live
%   in the toolbox's private folder, off the user's path; a bench script
%   reaches them by working in that folder.  The folders of the MEX files
%   and of the toolbox are put on the path by their full names first, since
%   a relative path given to octave-cli would no longer lead there.
  mex = fileparts (which ('pallant'));
  toolbox = fileparts (which ('rwsegment'));
  if isempty (mex) || isempty (toolbox)
    error ('toolbox_parts: put the MEX files and the toolbox on the path (--path build/octave --path toolbox)');
  end
  rmpath (mex, toolbox);
  addpath (make_absolute_filename (mex), make_absolute_filename (toolbox));
  cd (fullfile (make_absolute_filename (toolbox), 'private'));
end
