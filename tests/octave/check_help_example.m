function check_help_example (name)
% CHECK_HELP_EXAMPLE (NAME) runs the example of NAME's help text as it is
% printed there (the first block of indented lines after the line that
% starts with "Example"), and fails unless the numbers it displays are the
% numbers of the next indented block, the output the help text gives for
% it.  So the help text cannot drift from the code.  Lines that start with
% "Time:" report seconds and are left out on both sides.
  lines = strsplit (get_help_text (name), "\n");
  at = find (! cellfun (@isempty, regexp (lines, '^\s*Example\>', 'once')), 1);
  if (isempty (at))
    error ('%s: its help text has no example', name);
  end
  [code, at] = indented_block (lines, at + 1);
  [shown, ~] = indented_block (lines, at + 1);
  if (isempty (code) || isempty (shown))
    error ('%s: the example needs code and, after a line of text, its output', name);
  end
  out = evalc (strjoin (code, "\n"));
  got = numbers (untimed (out));
  want = numbers (untimed (strjoin (shown, "\n")));
  if (! isequal (size (got), size (want)) || any (abs (got - want) > 1e-12 * max (1, abs (want))))
    error ('%s: the example displays\n%s\nbut its help text says\n%s', name, out, strjoin (shown, "\n"));
  end
end

% The first run of lines from FROM on that are indented deeper than the
% prose.
function [block, next] = indented_block (lines, from)
  while (from <= numel (lines) && isempty (regexp (lines{from}, '^ {5,}\S', 'once')))
    from++;
  end
  next = from;
  while (next <= numel (lines) && ! isempty (regexp (lines{next}, '^ {5,}\S', 'once')))
    next++;
  end
  block = lines(from:next - 1);
end

function v = numbers (text)
  v = str2double (regexp (text, '-?\d+(\.\d+)?(e[-+]?\d+)?', 'match'));
end

function text = untimed (text)
  text = regexprep (text, '(^|\n)\s*Time:[^\n]*', '$1');
end
