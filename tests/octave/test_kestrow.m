% kestrow as an Octave user calls it.  Fails by raising an error.
1;

% Plain loops in the documented order: difference, inner sum down column j
% of IS, outer sum, times -0.5, exp, times K.  The exponential is kestrow's
% own, taken from a D = 1 call whose quadratic form is exactly q: it is
% correctly rounded (checked against MPFR in the C++ tests), which Octave's
% exp, the platform's, is not always.
function v = reference (X, MU, IS, K)
  [D, N] = size (X);
  v = zeros (1, N);
  for c = 1:N
    d = zeros (D, 1);
    for k = 1:D
      d(k) = X(k,c) - MU(k);
    end
    q = 0;
    for j = 1:D
      s = 0;
      for m = 1:D
        s = s + d(m) * IS(m,j);
      end
      q = q + s * d(j);
    end
    v(c) = kestrow (1, 0, q, 1) * K;
  end
end

function same_bits (got, want, what)
  if (! isequal (size (got), size (want)))
    error ('%s: size %s, expected %s', what, mat2str (size (got)), mat2str (size (want)));
  end
  if (! isequal (typecast (got(:), 'uint64'), typecast (want(:), 'uint64')))
    error ('%s: bit patterns differ', what);
  end
end

% Runs CODE in a child octave-cli with the MEX directory on its path and
% returns everything the child wrote to its standard output.
function out = child_output (code)
  cli = getenv ('MEXTK_OCTAVE_CLI');
  if (isempty (cli))
    cli = 'octave-cli';
  end
  dir = getenv ('MEXTK_OCTAVE_DIR');
  if (isempty (dir))
    dir = fileparts (which ('kestrow'));
  end
  script = [tempname() '.m'];
  fid = fopen (script, 'w');
  fputs (fid, code);
  fclose (fid);
  cmd = sprintf ('''%s'' --norc --no-history --no-window-system --quiet --path ''%s'' ''%s''', ...
                 cli, dir, script);
  [status, out] = system (cmd);
  delete (script);
  if (status != 0)
    error ('child octave-cli failed (%d): %s', status, out);
  end
end

% ---- Values, bit for bit ----------------------------------------------------
rand ('seed', 42);
for D = [0 1 3 8 20]
  for N = [0 40]
    X = 2 * rand (D, N) - 1;
    MU = 0.3 * (2 * rand (D, 1) - 1);
    B = 2 * rand (D, D) / max (D, 1);
    % Non-symmetric (its quadratic form takes both signs), and symmetric
    % positive definite.
    for IS = {B - mean(B(:)), eye(D) + (B + B') / 8}
      K = 0.5 + rand ();
      v = kestrow (X, MU, IS{1}, K);
      same_bits (v, reference (X, MU, IS{1}, K), sprintf ('D=%d N=%d', D, N));
    end
  end
end

% Border shapes.
same_bits (kestrow (zeros (0, 3), zeros (0, 1), [], -0), -zeros (1, 3), 'D = 0, K = -0');
same_bits (kestrow (zeros (4, 0), zeros (4, 1), eye (4), 1), zeros (1, 0), 'N = 0');
same_bits (kestrow ([2 5], 1, 4, 3), reference ([2 5], 1, 4, 3), 'D = 1');
IS = [2 1; 1 2];
v = kestrow ([1 NaN 3; 4 5 Inf], [0; 0], IS, -2);
assert (isnan (v(2)));
same_bits (v([1 3]), [reference([1; 4], [0; 0], IS, -2), -0], 'NaN and Inf columns');

% ---- Errors and diagnostics, byte for byte ----------------------------------
% Each case runs in one child; its standard output must hold exactly the
% diagnostics, followed by the error message as err.message reports it.
cases = {
  'v = kestrow (1, 1, 1);', ...
    '', 'kestrow: 4 input arguments expected.'
  'kestrow (single (1), 1, 1);', ...
    '', 'kestrow: 4 input arguments expected.'
  'kestrow (1, 1, 1, 1);', ...
    '', 'kestrow: 1 output argument expected.'
  '[a, b] = kestrow (1, 1, 1, 1);', ...
    '', 'kestrow: 1 output argument expected.'
  'v = kestrow (single (ones (3, 4)), ones (3, 1), eye (3), 1);', ...
    "??? Input 0 is not a real double matrix with 2 dimension(s): {double==0,complex==0,ndims==2}\n\n", ...
    'kestrow: Error as above'
  'v = kestrow (ones (3, 4), complex (ones (3, 1)), eye (3), 1);', ...
    "??? Input 1 is not a real double matrix with 2 dimension(s): {double==1,complex==1,ndims==2}\n\n", ...
    'kestrow: Error as above'
  'v = kestrow (ones (3, 4), ones (3, 1), ones (3, 3, 2), 1);', ...
    "??? Input 2 is not a real double matrix with 2 dimension(s): {double==1,complex==0,ndims==3}\n\n", ...
    'kestrow: Error as above'
  'v = kestrow (ones (3, 4), ones (3, 1), eye (3), int32 (1));', ...
    "??? Input 3 is not a real double matrix with 2 dimension(s): {double==0,complex==0,ndims==2}\n\n", ...
    'kestrow: Error as above'
  'v = kestrow (ones (3, 4), single (1), ones (2, 2, 2), {});', ...
    "??? Input 1 is not a real double matrix with 2 dimension(s): {double==0,complex==0,ndims==2}\n\n", ...
    'kestrow: Error as above'
  'v = kestrow (ones (3, 100), ones (1, 3), eye (3), 1);', ...
    "D: 3\nN: 100\nX is [ 3 x 100 ]\nMU is [ 1 x 3 ]\nIS is [ 3 x 3 ]\nK is [ 1 x 1 ]\n", ...
    'kestrow: Input dimensions are not consistent.'
  'v = kestrow (ones (2, 5), ones (2, 1), eye (2), []);', ...
    "D: 2\nN: 5\nX is [ 2 x 5 ]\nMU is [ 2 x 1 ]\nIS is [ 2 x 2 ]\nK is [ 0 x 0 ]\n", ...
    'kestrow: Input dimensions are not consistent.'
  'v = kestrow (ones (3, 4), sparse (ones (3, 1)), eye (3), 1);', ...
    '', 'kestrow: Input 1 is sparse; a full real double matrix is expected.'
  'v = kestrow (zeros (0, 2^31), zeros (0, 1), [], 1);', ...
    '', 'kestrow: Input 0 has more than 2147483647 rows or columns.'
  'v = kestrow (ones (3, 4), ones (3, 1), eye (3), 1);', ...
    '', 'no error'
};
lines = {};
want = '';
for k = 1:rows (cases)
  lines(end+1:end+8) = {sprintf('printf (''== %d\\n''); fflush (stdout);', k), 'try', cases{k,1}, ...
                        'printf (''<no error>\n'');', 'catch err', 'printf (''<%s>\n'', err.message);', ...
                        'end', 'fflush (stdout);'};
  want = [want sprintf('== %d\n', k) cases{k,2} '<' cases{k,3} ">\n"];
end
got = child_output ([strjoin(lines, "\n") "\n"]);
if (! strcmp (got, want))
  printf ('--- expected ---\n%s--- got ---\n%s---\n', want, got);
  error ('kestrow diagnostics and messages differ from the expected bytes');
end

% The help text sits beside the MEX file.
assert (! isempty (strfind (help ('kestrow'), 'V = KESTROW(X, MU, IS, K)')));

printf ('test_kestrow: all passed\n');
