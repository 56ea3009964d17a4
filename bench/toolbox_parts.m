function toolbox_parts ()
%TOOLBOX_PARTS  The toolbox's own parts made callable from a bench script.
%   The jobs' steps (the painting session, the test image, the reader) live
%   in the toolbox's private folder, off the user's path; a bench script
%   reaches them by working in that folder.  The folders on the path by a
%   relative name (the MEX files', the toolbox's, the bench's) are put
%   there by their full names first, since a relative name given to
%   octave-cli would no longer lead there.
  mex = fileparts (which ('pallant'));
  toolbox = fileparts (which ('rwsegment'));
  if isempty (mex) || isempty (toolbox)
    error ('toolbox_parts: put the MEX files and the toolbox on the path (--path build/octave --path toolbox)');
  end
  entries = strsplit (path (), pathsep);
  relative = entries(~cellfun (@is_absolute_filename, entries) & ~strcmp (entries, '.'));
  if ~isempty (relative)
    rmpath (relative{:});
    addpath (cellfun (@make_absolute_filename, relative, 'UniformOutput', false){:});
  end
  cd (fullfile (make_absolute_filename (toolbox), 'private'));
end
