#!/usr/bin/env python3
"""Draws the application icon (a robot pup's head with a note beside it) as 16-colour XPM
images, 32 x 32 and 16 x 16. Run by hand when the drawing changes; the XPM files are the source
the build uses."""
import sys

# The 16 colours of the classic palette; the icon uses only these.
PALETTE = {
    ' ': 'None', '.': '#000000', 'r': '#800000', 'g': '#008000', 'o': '#808000',
    'b': '#000080', 'm': '#800080', 'c': '#008080', 's': '#C0C0C0', 'd': '#808080',
    'R': '#FF0000', 'G': '#00FF00', 'Y': '#FFFF00', 'B': '#0000FF', 'M': '#FF00FF',
    'C': '#00FFFF', 'W': '#FFFFFF',
}

def draw(size):
    px = [[' '] * size for _ in range(size)]
    k = size / 32.0
    def fill(test, ch):
        for y in range(size):
            for x in range(size):
                if test((x + 0.5) / k, (y + 0.5) / k):
                    px[y][x] = ch
    def ellipse(cx, cy, rx, ry):
        return lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0
    # rounded tile
    fill(lambda x, y: 1 <= x <= 31 and 1 <= y <= 31 and not (
        (x < 5 and y < 5 and (x - 5) ** 2 + (y - 5) ** 2 > 16) or
        (x > 27 and y < 5 and (x - 27) ** 2 + (y - 5) ** 2 > 16) or
        (x < 5 and y > 27 and (x - 5) ** 2 + (y - 27) ** 2 > 16) or
        (x > 27 and y > 27 and (x - 27) ** 2 + (y - 27) ** 2 > 16)), 'b')
    # ears, head, muzzle
    fill(ellipse(7.5, 11, 3, 6), 'd')
    fill(ellipse(22.5, 11, 3, 6), 'd')
    fill(ellipse(15, 16, 9, 9), 's')
    fill(ellipse(15, 21, 5, 3.5), 'W')
    # visor eyes and nose
    fill(lambda x, y: 9 <= x <= 21 and 12 <= y <= 15, '.')
    fill(ellipse(12, 13.5, 1.3, 1.3), 'C')
    fill(ellipse(18, 13.5, 1.3, 1.3), 'C')
    fill(ellipse(15, 19.5, 1.5, 1.0), '.')
    # the note: stem, flag and head
    fill(lambda x, y: 26 <= x <= 27.5 and 13 <= y <= 25, 'Y')
    fill(lambda x, y: 27.5 <= x <= 30 and 13 <= y <= 16 and (x - 27.5) <= (16 - y) + 1, 'Y')
    fill(ellipse(24.5, 25.5, 2.6, 2.0), 'Y')
    return px

def xpm(name, px):
    size = len(px)
    used = sorted({c for row in px for c in row})
    lines = ['/* XPM */', 'static const char *%s[] = {' % name,
             '"%d %d %d 1",' % (size, size, len(used))]
    lines += ['"%s c %s",' % (c, PALETTE[c]) for c in used]
    lines += ['"%s",' % ''.join(row) for row in px]
    lines[-1] = lines[-1].rstrip(',')
    lines.append('};')
    return '\n'.join(lines) + '\n'

if __name__ == '__main__':
    out = sys.argv[1] if len(sys.argv) > 1 else 'resources'
    for size in (32, 16):
        with open('%s/app%d.xpm' % (out, size), 'w') as f:
            f.write(xpm('app%d_xpm' % size, draw(size)))
