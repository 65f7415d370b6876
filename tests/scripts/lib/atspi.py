#!/usr/bin/python3
"""Prints an application's windows as the accessibility bus shows them to a screen reader.
Usage: atspi.py dump APP
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
    flags = [label for state, label in ((pyatspi.STATE_FOCUSED, 'focused'), (pyatspi.STATE_SELECTED, 'selected'),
                                        (pyatspi.STATE_ENABLED, 'enabled')) if states.contains(state)]
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


def main(argv):
    if len(argv) != 3 or argv[1] != 'dump':
        print(__doc__)
        return 2
    app = find_app(argv[2])
    if app is None:
        print('no application "%s"' % argv[2])
        return 1
    for window in app:
        if window is not None:
            print('\n'.join(dump(window)))
    return 0


if __name__ == '__main__':
    # Callers often stop reading early (grep -q); that is no error.
    signal.signal(signal.SIGPIPE, signal.SIG_DFL)
    sys.exit(main(sys.argv))
