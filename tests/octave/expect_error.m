function expect_error (fn, msg, nout, varargin)
% EXPECT_ERROR (FN, MSG, NOUT, ...) calls FN with the remaining inputs and
% NOUT outputs, and fails unless the call raises exactly the message MSG.
% (Octave prefixes a MEX file's messages with its name and drops a trailing
% line feed.)
  out = cell (1, nout);
  try
    if (nout == 0)
      fn (varargin{:});
    else
      [out{:}] = fn (varargin{:});
    end
  catch err
    assert (err.message, msg);
    return;
  end
  error ('expected the error "%s"', msg);
end
