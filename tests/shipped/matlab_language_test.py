#!/usr/bin/env python3
"""matlab_language.py on planted code: a copy of the shipped .m files with an
Octave-only call planted in one fails, at that line; a file of Octave-only
constructs is found line by line; and the look-alikes that are MATLAB (a
variable called rows, a field, text in strings and comments, the transpose,
a call in a branch that runs in Octave only) are not found."""
import os
import shutil
import subprocess
import sys
import tempfile

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, here)
import matlab_language  # noqa: E402

repo = os.path.normpath(os.path.join(here, '..', '..'))
failures = []
checks = 0


def check(condition, what):
    global checks
    checks += 1
    if not condition:
        failures.append(what)


def scan(root):
    run = subprocess.run([sys.executable, os.path.join(here, 'matlab_language.py'), root],
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT, universal_newlines=True, timeout=60)
    return run.returncode, run.stdout


with tempfile.TemporaryDirectory() as root:
    # The shipped files as they are pass; with printf planted in one, that
    # file and line are named and the scan fails.
    shipped = matlab_language.shipped_files(repo)
    check(shipped, 'no shipped .m file found')
    for path in shipped:
        copy = os.path.join(root, os.path.relpath(path, repo))
        os.makedirs(os.path.dirname(copy), exist_ok=True)
        shutil.copy(path, copy)
    status, out = scan(root)
    check(status == 0, 'the shipped files as they are fail:\n' + out)
    victim = os.path.join(root, os.path.relpath(shipped[0], repo))
    with open(victim) as f:
        lines = f.read().split('\n')
    lines.insert(1, "  printf ('%d\\n', 1);")
    with open(victim, 'w') as f:
        f.write('\n'.join(lines))
    status, out = scan(root)
    where = os.path.relpath(victim, root) + ':2: Octave\'s function printf'
    check(status == 1 and where in out, 'printf planted at line 2 of %s is not found:\n%s' % (victim, out))

    # Each line marked "found" is found, none other.
    planted = '''function r = planted (a, b, x)
  n = columns (x);                                  % found
  if a != b                                         % found
    n += 1;                                         % found
  endif                                             % found
  k++;                                              % found
  # an Octave comment                               % found
  s = "text";                                       % found
  y = !x;                                           % found
  unwind_protect                                    % found
  fdisp (stdout, y);                                % found
  r = a ** 2;                                       % found
  rows = size (x, 1);
  disp (rows);
  G.columns = 3;
  z = G.columns;
  msg = 'a != b, printf, # "not code" ++';
  % printf and != and endif in a comment
  t = a' * b';
  u = [t' 'x' t.'];
  if exist ('OCTAVE_VERSION', 'builtin')
    fflush (stdout);
  else
    puts ('x');                                     % found
  end
  octave = exist ('OCTAVE_VERSION', 'builtin') ~= 0;
  if octave && n > 1
    printf ('%d', n);
  end
  inOctave = ...
    exist ('OCTAVE_VERSION', 'builtin');
  if inOctave
    printf ('%d', n);
  else
    printf ('%d', n);                               % found
  end
%{
  printf in a block comment
%}
end
'''
    with open(os.path.join(root, 'toolbox', 'planted.m'), 'w') as f:
        f.write(planted)
    findings = matlab_language.check_file(os.path.join(root, 'toolbox', 'planted.m'), set())
    found = sorted({number for _, number, _, _ in findings})
    want = [n for n, line in enumerate(planted.split('\n'), 1) if line.endswith('% found')]
    check(found == want, 'planted.m: found at lines %s, planted at %s:\n%s' % (
        found, want, '\n'.join('%d: %s' % (n, what) for _, n, what, _ in findings)))

for failure in failures:
    print('FAIL ' + failure)
print('%d passed, %d failed' % (checks - len(failures), len(failures)))
sys.exit(1 if failures else 0)
