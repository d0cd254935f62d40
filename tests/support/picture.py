"""The demo's pictures as the tests read them: PNG files decoded with the
standard library only, pixels classed as the demo's background or its red
surface.

    python3 tests/support/picture.py --two-blobs FILE.png

checks that a picture shows two red blobs side by side (the demo at tick 113)
and says what it found otherwise (exit code 1)."""

import struct
import sys
import zlib


class PictureError(Exception):
    pass


def read_png(data):
    """8-bit RGB or RGBA PNG (not interlaced) -> (width, height, rows of RGB tuples)."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise PictureError("not a PNG")
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
    if header is None:
        raise PictureError("a PNG without its header (IHDR)")
    width, height, depth, colour, _, _, interlace = header
    channels = {2: 3, 6: 4}.get(colour)
    if depth != 8 or channels is None or interlace != 0:
        raise PictureError("unsupported PNG (depth %d, colour type %d)" % (depth, colour))
    raw = zlib.decompress(idat)
    stride = width * channels
    previous = bytearray(stride)
    rows = []
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            corner = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 255
            elif kind == 2:
                line[i] = (line[i] + up) & 255
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                predictor = left if pa <= pb and pa <= pc else (up if pb <= pc else corner)
                line[i] = (line[i] + predictor) & 255
        rows.append([tuple(line[x * channels:x * channels + 3]) for x in range(width)])
        previous = line
    return width, height, rows


def classify(rgb):
    """'g' for the mid-grey background, 'r' for the red surface, '?' otherwise."""
    r, g, b = rgb
    if abs(r - 64) <= 3 and abs(g - 64) <= 3 and abs(b - 64) <= 3:
        return "g"
    if r >= 240 and g <= 15 and b <= 15:
        return "r"
    return "?"


def classes(rows):
    return [[classify(p) for p in row] for row in rows]


def red_column_runs(rows):
    """The runs of columns that hold red, as (first, last) column pairs."""
    red = [any(classify(row[x]) == "r" for row in rows) for x in range(len(rows[0]))]
    runs, start = [], None
    for x, is_red in enumerate(red + [False]):
        if is_red and start is None:
            start = x
        elif not is_red and start is not None:
            runs.append((start, x - 1))
            start = None
    return runs


def main(argv):
    if len(argv) != 3 or argv[1] != "--two-blobs":
        print(__doc__, file=sys.stderr)
        return 2
    try:
        with open(argv[2], "rb") as f:
            width, height, rows = read_png(f.read())
    except (OSError, PictureError) as error:
        print("%s: %s" % (argv[2], error), file=sys.stderr)
        return 1
    runs = red_column_runs(rows)
    grey = sum(1 for row in rows for p in row if classify(p) == "g")
    if len(runs) != 2 or grey < width * height // 2:
        print("%s: %dx%d, %d runs of red columns %s and %d%% grey: not two red blobs on grey"
              % (argv[2], width, height, len(runs), runs, 100 * grey // (width * height)),
              file=sys.stderr)
        return 1
    print("%s: two red blobs on grey, in columns %d-%d and %d-%d"
          % (argv[2], runs[0][0], runs[0][1], runs[1][0], runs[1][1]))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
