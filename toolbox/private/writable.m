function writable (who, file, kind)
%WRITABLE  Refuses, before any work, an output file that cannot be written.
%   WRITABLE (WHO, FILE, KIND) raises 'WHO: cannot write FILE: ...' when
%   FILE's folder does not exist, FILE is a folder, or it cannot be opened
%   for writing; for KIND 'image' also when its extension is no format
%   IMWRITE writes, for KIND 'png' when it is not .png ('' checks no
%   extension).  It leaves no file behind that was not there.
  [folder, ~, ext] = fileparts (file);
  if strcmp (kind, 'image')
    format = [];
    if numel (ext) > 1
      format = imformats (ext(2:end));
    end
    if isempty (format) || isempty (fieldnames (format)) || isempty (format(1).write)
      error ('%s: cannot write %s: give it an image file extension, such as .png', who, file);
    end
  elseif strcmp (kind, 'png') && ~strcmpi (ext, '.png')
    error ('%s: cannot write %s: give it the extension .png (an RGBA PNG)', who, file);
  end
  if ~isempty (folder) && ~isfolder (folder)
    error ('%s: cannot write %s: there is no folder %s', who, file, folder);
  end
  if isfolder (file)
    error ('%s: cannot write %s: it is a folder', who, file);
  end
  existed = isfile (file);
  [fid, why] = fopen (file, 'a');
  if fid < 0
    error ('%s: cannot write %s: %s', who, file, why);
  end
  fclose (fid);
  if ~existed
    delete (file);
  end
end
