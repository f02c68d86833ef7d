#!/usr/bin/env python3
"""Checks that includes under src/ run down the layers only, and that CMake links each
library to exactly the folders it includes.

The order of the layers lives in one place, the line of README.md that starts with
"Layering runs one way:", e.g. "memory, kernel, resources → string → xml, wapi → feed, search → app."
Folders named together share a layer and may not include each other. "resources" is the one name
on the line that is no folder of src/: the ids that the .rc file and the code share.
"""
import pathlib
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
LIBRARY = re.compile(r'^\s*pelikant_library\(([^)]*)\)', re.M)


def read_layers(readme):
    for line in readme.splitlines():
        if line.startswith('Layering runs one way:'):
            order = line.split(':', 1)[1].strip().rstrip('.')
            return {name.strip(): rank
                    for rank, group in enumerate(order.split('→'))
                    for name in group.split(',')}
    raise SystemExit('README.md has no "Layering runs one way:" line')


def included_folders(folder, layers):
    """Yields (file, line number, included folder or None for a path outside src/)."""
    for path in sorted(folder.rglob('*')):
        if path.suffix not in ('.h', '.cpp', '.in'):
            continue
        text = path.read_text(encoding='utf-8', errors='replace')
        for match in INCLUDE.finditer(text):
            target = match.group(1)
            line = text.count('\n', 0, match.start()) + 1
            head = target.split('/', 1)[0]
            if '/' not in target or '..' in target.split('/') or head not in layers:
                yield path, line, None, target
            else:
                yield path, line, head, target


def check(root):
    root = pathlib.Path(root)
    layers = read_layers((root / 'README.md').read_text(encoding='utf-8'))
    problems = []
    folders = sorted(p.name for p in (root / 'src').iterdir() if p.is_dir())
    for name in folders:
        if name not in layers:
            problems.append(f'src/{name} is not on the layering line of README.md')
    uses = {}
    for name in folders:
        if name not in layers:
            continue
        uses[name] = set()
        for path, line, head, target in included_folders(root / 'src' / name, layers):
            where = f'{path.relative_to(root)}:{line}'
            if head is None:
                problems.append(f'{where}: "{target}" is not a path of the form folder/header.h under src/')
            elif head != name and layers[head] >= layers[name]:
                problems.append(f'{where}: {name} may not include {head} ("{target}")')
            elif head != name:
                uses[name].add(head)
    cmake = (root / 'CMakeLists.txt').read_text(encoding='utf-8')
    linked = {}
    for match in LIBRARY.finditer(cmake):
        words = match.group(1).split()
        if words and words[0] in uses and words[0] not in linked:
            linked[words[0]] = {w[len('pelikant_'):] for w in words[1:] if w.startswith('pelikant_')}
    for name, used in sorted(uses.items()):
        if name not in linked:
            problems.append(f'CMakeLists.txt: no pelikant_library({name} ...)')
            continue
        for extra in sorted(linked[name] - used):
            problems.append(f'CMakeLists.txt: {name} links {extra} but includes nothing of it')
        for missing in sorted(used - linked[name]):
            problems.append(f'CMakeLists.txt: {name} includes {missing} but does not link it')
    return problems


def main():
    problems = check(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parents[1])
    for problem in problems:
        print(problem)
    print(f'layers: {len(problems)} problem(s)')
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
