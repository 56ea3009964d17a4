function checkOutputs (who, inputs, outputs)
%CHECKOUTPUTS  Refuses outputs that would overwrite an input or each other.
%   CHECKOUTPUTS (WHO, INPUTS, OUTPUTS) raises 'WHO: ...' when a file name
%   in the cell array OUTPUTS names a file in INPUTS, or another entry of
%   OUTPUTS, however each is spelled: relative or absolute, through . and
%   .., through symbolic links, and in any letter case where the file
%   system ignores it (Windows, macOS).  Empty and non-text entries are
%   passed over.  A job calls it before any work, so that the photograph a
%   user opened is never lost to a result written over it.
  in = keys (inputs);
  out = keys (outputs);
  for o = 1:numel (outputs)
    if isempty (out{o})
      continue;
    end
    for i = 1:numel (inputs)
      if strcmp (out{o}, in{i})
        error ('%s: will not write %s: it is the input file %s', who, outputs{o}, inputs{i});
      end
    end
    for p = 1:o - 1
      if strcmp (out{o}, out{p})
        error ('%s: will not write %s and %s: they are the same file', who, outputs{p}, outputs{o});
      end
    end
  end
end

function k = keys (files)
% Each file name as one spelling of its place: its folder's real path (the
% folder must exist) and its own name, the link followed where it is one.
  k = repmat ({''}, size (files));
  for n = 1:numel (files)
    f = files{n};
    if ~ischar (f) || isempty (f)
      continue;
    end
    [folder, name, ext] = fileparts (f);
    if isempty (folder)
      folder = pwd ();
    end
    if ~isfolder (folder)
      continue;              % refused as unwritable, or unreadable, elsewhere
    end
    f = fullfile (realPath (folder), [name ext]);
    if isfile (f)
      f = realPath (f);
    end
    if ispc () || ismac ()
      f = lower (f);
    end
    k{n} = f;
  end
end

function p = realPath (p)
  if exist ('OCTAVE_VERSION', 'builtin')
    [real, status] = canonicalize_file_name (p);
    if status == 0
      p = real;
    end
  else
    p = char (java.io.File (p).getCanonicalPath ());
  end
end
