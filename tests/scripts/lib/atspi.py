#!/usr/bin/python3
"""Reads an application's windows through the accessibility bus, as a screen reader would.
Usage:
  atspi.py dump APP       print every window of APP
  atspi.py focused APP    print the focused control
"""
import signal
import sys

import pyatspi


def find_app(name):
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is not None and app.name == name:
            return app
    return None


def describe(node):
    role = node.getRoleName()
    text = ''
    try:
        t = node.queryText()
        text = t.getText(0, t.characterCount)
    except NotImplementedError:
        pass
    states = node.getState()
    flags = []
    for state, label in ((pyatspi.STATE_FOCUSED, 'focused'), (pyatspi.STATE_SELECTED, 'selected'),
                         (pyatspi.STATE_ENABLED, 'enabled')):
        if states.contains(state):
            flags.append(label)
    line = '%s "%s"' % (role, node.name)
    if text and text != node.name:
        line += ' text="%s"' % text.replace('\n', '\\n')
    if flags:
        line += ' [%s]' % ','.join(flags)
    return line


def dump(node, depth=0, out=None, limit=400):
    out = out if out is not None else []
    if node is None or len(out) > limit:
        return out
    out.append('  ' * depth + describe(node))
    for child in node:
        dump(child, depth + 1, out, limit)
    return out


def windows(app):
    return [w for w in app if w is not None]


def main(argv):
    if len(argv) < 3:
        print(__doc__)
        return 2
    command, app_name = argv[1], argv[2]
    app = find_app(app_name)
    if app is None:
        print('no application "%s"' % app_name)
        return 1
    if command == 'dump':
        for w in windows(app):
            print('\n'.join(dump(w)))
        return 0
    if command == 'focused':
        for w in windows(app):
            for line in dump(w):
                if '[focused' in line or ',focused' in line:
                    print(line.strip())
        return 0
    print(__doc__)
    return 2


if __name__ == '__main__':
    # Callers often stop reading early (grep -q); that is no error.
    signal.signal(signal.SIGPIPE, signal.SIG_DFL)
    sys.exit(main(sys.argv))
