#!/usr/bin/env python3
"""The shipped .m files are MATLAB language: nothing that only Octave has.

    matlab_language.py [ROOT]       (default: the repository holding this file)

Scans every .m file below the folders of SHIPPED (those that exist) under
ROOT and prints one line per finding, "file:line: what: the line", then
fails; or prints how many files it read and succeeds.

It reads the code as MATLAB does: single-quoted strings (told from the
transpose by what precedes the quote), comments (%, and %{ ... %} blocks)
and continuations (...) are skipped, so a '!=' or 'printf' in a message or a
comment is no finding.  Found in the code:
  - Octave's syntax: # comments (and #{ ... #} blocks), double-quoted
    strings, !, !=, ++, --, **, the assignment operators +=, -=, *=, /=,
    ^=, |=, &=, a backslash continuation, and Octave's keywords
    (endfunction, endif, endfor, endwhile, endswitch, end_try_catch,
    unwind_protect, do ... until, ...);
  - a use of a function MATLAB lacks (OCTAVE_ONLY).  A name the function
    assigns, takes as an argument or declares (a variable called rows), a
    field (s.rows), and a name that a scanned file defines as a function
    are not uses of Octave's function; nor is a call in the branch of an
    if that runs in Octave only (if exist ('OCTAVE_VERSION', 'builtin'),
    or on a name given that value), which MATLAB never runs.
"""
import os
import re
import sys

# The folders whose .m files are shipped, relative to the repository: the
# jobs (toolbox/, with its private/ helpers) and the help files
# of the MEX functions.  Every .m file below each is scanned.
SHIPPED = ['toolbox', 'pallant', 'kestrow', 'modrick']

# Functions Octave has and MATLAB does not (or not under that name).
OCTAVE_ONLY = {
    'printf', 'puts', 'fputs', 'fdisp', 'fflush', 'stdout', 'stderr', 'columns', 'rows',
    'postpad', 'prepad', 'vec', 'ifelse', 'merge', 'print_usage', 'cstrcat', 'substr',
    'ostrsplit', 'index', 'rindex', 'isdigit', 'isupper', 'islower', 'isalpha', 'toascii',
    'do_string_escapes', 'undo_string_escapes', 'is_function_handle', 'isargout', 'nthargout',
    'get_help_text', 'confirm_recursive_rmdir', 'page_screen_output', 'argv', 'program_name',
    'octave_config_info', 'yes_or_no', 'kbhit', 'usleep', 'fskipl', 'sizemax', 'lookup',
    'graphics_toolkit', 'available_graphics_toolkits', 'waitpid', 'mkstemp', 'tilde_expand',
    'canonicalize_file_name', 'make_absolute_filename', 'is_absolute_filename',
    'file_in_loadpath', 'file_in_path', 'dir_in_loadpath', 'have_window_system',
}

OCTAVE_KEYWORDS = {
    'endfunction', 'endif', 'endfor', 'endwhile', 'endswitch', 'end_try_catch', 'endparfor',
    'unwind_protect', 'unwind_protect_cleanup', 'end_unwind_protect', 'do', 'until',
    'endclassdef', 'endproperties', 'endmethods', 'endevents', 'endenumeration',
}

# After these a quote is the transpose operator, not the start of a string.
TRANSPOSE_AFTER = re.compile(r"[A-Za-z0-9_)\]}.`']$")
WORD = re.compile(r'[A-Za-z0-9_]*$')
OPERATORS = [
    ('!=', 'Octave\'s != (MATLAB: ~=)'),
    ('++', 'Octave\'s ++'),
    ('+=', 'Octave\'s += (MATLAB: x = x + ...)'),
    ('-=', 'Octave\'s -='),
    ('*=', 'Octave\'s *='),
    ('/=', 'Octave\'s /='),
    ('^=', 'Octave\'s ^='),
    ('|=', 'Octave\'s |='),
    ('&=', 'Octave\'s &='),
    ('**', 'Octave\'s ** (MATLAB: ^)'),
    ('!', 'Octave\'s ! (MATLAB: ~)'),
]


def code_of(lines):
    """Each line's code, as (line number, text) with strings and comments
    blanked out, and the findings of Octave-only syntax in them."""
    findings = []
    code = []
    block = None
    for number, line in enumerate(lines, 1):
        stripped = line.strip()
        if block is not None:
            if stripped in ('%}', '#}'):
                block = None
            code.append((number, ''))
            continue
        if stripped in ('%{', '#{'):
            if stripped == '#{':
                findings.append((number, 'Octave\'s #{ block comment (MATLAB: %{)'))
            block = stripped
            code.append((number, ''))
            continue
        out = []
        i = 0
        n = len(line)
        while i < n:
            c = line[i]
            if c == '%':
                break
            if c == '#':
                findings.append((number, 'Octave\'s # comment (MATLAB: %)'))
                break
            if line.startswith('...', i):
                out.append('...')  # the statement goes on: the rest is a comment
                break
            if c == "'":
                before = ''.join(out)
                if before and TRANSPOSE_AFTER.search(before):
                    out.append('`')  # the transpose, told from a quote from here on
                    i += 1
                    continue
                j = i + 1
                while j < n:
                    if line[j] == "'":
                        if j + 1 < n and line[j + 1] == "'":
                            j += 2
                            continue
                        break
                    j += 1
                # A word is kept (the guard 'OCTAVE_VERSION'); other text
                # is blanked.
                content = line[i + 1:j]
                out.append("'" + (content if WORD.match(content) else '') + "'")
                i = j + 1
                continue
            if c == '"':
                findings.append((number, 'a double-quoted string (MATLAB: a string object, not a char array; use \'...\')'))
                j = i + 1
                while j < n:
                    if line[j] == '\\':
                        j += 2
                        continue
                    if line[j] == '"':
                        if j + 1 < n and line[j + 1] == '"':
                            j += 2
                            continue
                        break
                    j += 1
                out.append("''")
                i = j + 1
                continue
            out.append(c)
            i += 1
        text = ''.join(out)
        if text.rstrip().endswith('\\') and not text.rstrip().endswith('\\\\'):
            findings.append((number, 'a backslash continuation (MATLAB: ...)'))
        code.append((number, text))
    return code, findings


TOKEN = re.compile(r"[A-Za-z_][A-Za-z0-9_]*|\d+\.?\d*(?:[eE][-+]?\d+)?|\.\d+|'[^']*'|\.\.\.|[=~<>!+\-*/^|&]=|\+\+|--|\*\*|&&|\|\||\.[*/\\^']|\S")


def tokens(text):
    return TOKEN.findall(text)


def statements(code):
    """The statements of the code: lists of (line number, token), split at
    the end of a line that does not go on (...), and at ; and , outside
    brackets."""
    current = []
    depth = 0
    for number, text in code:
        toks = tokens(text)
        continued = bool(toks) and toks[-1] == '...'
        if continued:
            toks = toks[:-1]
        for tok in toks:
            if tok in '([{':
                depth += 1
            elif tok in ')]}':
                depth = max(0, depth - 1)
            if depth == 0 and tok in (';', ','):
                if current:
                    yield current
                current = []
                continue
            current.append((number, tok))
        if depth == 0 and current and not continued:
            yield current
            current = []
    if current:
        yield current


IDENT = re.compile(r'[A-Za-z_][A-Za-z0-9_]*$')


def assigned_names(stmt):
    """The names a statement gives a value: the target of an assignment (or
    each target of [a, b] = ...), a for loop's variable, the declared names
    of global and persistent, and a function's arguments and outputs."""
    toks = [t for _, t in stmt]
    if not toks:
        return set()
    if toks[0] == 'function':
        return {t for t in toks[1:] if IDENT.match(t)}
    if toks[0] in ('global', 'persistent'):
        return {t for t in toks[1:] if IDENT.match(t)}
    if toks[0] in ('for', 'parfor'):
        toks = toks[1:]
        if toks and toks[0] == '(':
            toks = toks[1:]
    depth = 0
    for k, t in enumerate(toks):
        if t in '([{':
            depth += 1
        elif t in ')]}':
            depth -= 1
        elif t == '=' and depth == 0:
            lhs = toks[:k]
            if lhs and lhs[0] == '[':
                names = set()
                inner = 0
                previous = '['
                for u in lhs:
                    if u in '([{':
                        inner += 1
                    elif u in ')]}':
                        inner -= 1
                    elif inner == 1 and IDENT.match(u) and previous in ('[', ','):
                        names.add(u)
                    previous = u if inner == 1 else previous
                return names
            return {lhs[0]} if lhs and IDENT.match(lhs[0]) else set()
    return set()


def functions_of(code):
    """The code split at each function line: lists of (line number, text)."""
    parts = [[]]
    for number, text in code:
        if re.match(r'\s*function\b', text):
            parts.append([])
        parts[-1].append((number, text))
    return [p for p in parts if p]


def defined_functions(code):
    names = set()
    for _, text in code:
        m = re.match(r'\s*function\b(?:[^=(]*=)?\s*([A-Za-z_][A-Za-z0-9_]*)', text)
        if m:
            names.add(m.group(1))
    return names


BLOCKS = {'if', 'for', 'parfor', 'while', 'switch', 'try', 'function', 'spmd'}


def octave_guard(conjunct, guards):
    """Whether a condition holds in Octave only: exist ('OCTAVE_VERSION', ...)
    [~= 0], or a name given that value."""
    if len(conjunct) == 1:
        return conjunct[0] in guards
    return conjunct[0] == 'exist' and "'OCTAVE_VERSION'" in conjunct


def guarded_if(stmt, guards):
    """Whether an if statement's branch runs in Octave only: one of the
    conditions joined by && at the top level is an Octave guard."""
    toks = [t for _, t in stmt][1:]
    conjuncts = [[]]
    depth = 0
    for t in toks:
        if t in '([{':
            depth += 1
        elif t in ')]}':
            depth -= 1
        if t == '&&' and depth == 0:
            conjuncts.append([])
        elif t == '||' and depth == 0:
            return False
        else:
            conjuncts[-1].append(t)
    return any(octave_guard(c, guards) for c in conjuncts if c)


def check_file(path, ours):
    with open(path, encoding='utf-8', errors='replace') as f:
        lines = f.read().split('\n')
    code, findings = code_of(lines)
    mine = ours | defined_functions(code)
    for part in functions_of(code):
        stmts = list(statements(part))
        variables = set()
        guards = set()
        for stmt in stmts:
            names = assigned_names(stmt)
            variables |= names
            if "'OCTAVE_VERSION'" in [t for _, t in stmt] and len(names) == 1 and stmt[0][1] != 'function':
                guards |= names
        # The open blocks, each with whether the code in it runs in Octave
        # only (the branch of an if on an Octave guard): Octave's functions
        # may be called there.
        blocks = []
        for stmt in stmts:
            first = stmt[0][1]
            if first in BLOCKS:
                blocks.append(first == 'if' and guarded_if(stmt, guards))
            elif first in ('else', 'elseif') and blocks:
                blocks[-1] = False
            elif first == 'end' and len(stmt) == 1 and blocks:
                blocks.pop()
            octave_only = any(blocks)
            previous = None
            for number, tok in stmt:
                field = previous == '.'
                if IDENT.match(tok) and not field:
                    if tok in OCTAVE_KEYWORDS:
                        findings.append((number, 'Octave\'s keyword ' + tok))
                    elif ((tok in OCTAVE_ONLY or tok.startswith('__')) and tok not in variables
                          and tok not in mine and not octave_only):
                        findings.append((number, 'Octave\'s function ' + tok))
                else:
                    for op, what in OPERATORS:
                        if tok == op:
                            findings.append((number, what))
                    if tok == '--' and previous is not None and (IDENT.match(previous) or previous in ')]}'):
                        findings.append((number, 'Octave\'s --'))
                previous = tok
    return [(path, number, what, lines[number - 1].strip()) for number, what in sorted(set(findings))]


def shipped_files(root):
    files = []
    for folder in SHIPPED:
        top = os.path.join(root, folder)
        for here, dirs, names in os.walk(top):
            dirs.sort()
            files.extend(os.path.join(here, n) for n in sorted(names) if n.endswith('.m'))
    return files


def main(argv):
    root = argv[1] if len(argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..')
    root = os.path.normpath(root)
    files = shipped_files(root)
    if not files:
        print('no .m file below ' + ', '.join(SHIPPED) + ' in ' + root)
        return 1
    ours = {os.path.splitext(os.path.basename(f))[0] for f in files}
    findings = []
    for path in files:
        findings.extend(check_file(path, ours))
    for path, number, what, text in findings:
        print('%s:%d: %s: %s' % (os.path.relpath(path, root), number, what, text))
    if findings:
        print('%d Octave-only uses in the shipped .m files (%d files read)' % (len(findings), len(files)))
        return 1
    print('%d shipped .m files read: MATLAB language only' % len(files))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
