function post_install (desc)
% Run by pkg install.  It puts the compiled MEX files and the .m files into
% different folders, but help finds the text of a MEX function only in the
% .m file beside it: so each help file moves next to its MEX file.
  for name = {'pallant', 'kestrow', 'modrick'}
    built = dir (fullfile (desc.archprefix, '*', [name{1} '.mex']));
    if (isempty (built))
      error ('pkg: %s.mex was not built', name{1});
    end
    [ok, msg] = movefile (fullfile (desc.dir, [name{1} '.m']), built(1).folder);
    if (! ok)
      error ('pkg: cannot move the help of %s: %s', name{1}, msg);
    end
  end
end
