#!/usr/bin/env python3
"""Compares a screenshot of the dialog's client area with the reference rasterizer's picture.

usage: compare_preview.py LIVE.ppm REFERENCE.ppm OPERATIONS.txt

OPERATIONS.txt is `plotvane-cli preview ... -` output (frame L T R B / move X Y / line X Y). The
frame's outline and every end point of the polylines must show the same colour in both pictures;
so must every other pixel inside the frame. Prints one summary line; exit status 1 on a mismatch.
"""
import sys


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    fields = []
    pos = 0
    while len(fields) < 4:  # magic, width, height, maximum
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    if fields[0] != b"P6" or fields[3] != b"255":
        sys.exit(f"{path}: not an 8-bit P6 picture")
    width, height = int(fields[1]), int(fields[2])
    return width, height, data[pos + 1:]


def main():
    live_path, reference_path, operations_path = sys.argv[1:4]
    live = read_ppm(live_path)
    reference = read_ppm(reference_path)

    def pixel(picture, x, y):
        width, height, rgb = picture
        if not (0 <= x < width and 0 <= y < height):
            return None
        i = (y * width + x) * 3
        return tuple(rgb[i:i + 3])

    frame = None
    points = []
    with open(operations_path) as f:
        for line in f:
            words = line.split()
            if words and words[0] == "frame":
                frame = tuple(int(w) for w in words[1:5])
            elif words and words[0] in ("move", "line"):
                points.append((int(words[1]), int(words[2])))
    if frame is None:
        sys.exit("no frame operation in " + operations_path)
    left, top, right, bottom = frame

    outline = [(x, top) for x in range(left, right)] + [(x, bottom - 1) for x in range(left, right)]
    outline += [(left, y) for y in range(top, bottom)] + [(right - 1, y) for y in range(top, bottom)]

    def mismatches(places):
        bad = []
        for x, y in places:
            a, b = pixel(live, x, y), pixel(reference, x, y)
            if a is not None and b is not None and a != b:
                bad.append((x, y, a, b))
        return bad

    bad_outline = mismatches(outline)
    bad_points = mismatches(points)
    inside = [(x, y) for y in range(top, bottom) for x in range(left, right)]
    bad_inside = mismatches(inside)
    print(f"frame {len(outline) - len(bad_outline)}/{len(outline)} end-points "
          f"{len(points) - len(bad_points)}/{len(points)} frame-area {len(inside) - len(bad_inside)}/{len(inside)}")
    for x, y, a, b in (bad_outline + bad_points + bad_inside)[:10]:
        print(f"  ({x}, {y}): live {a}, reference {b}")
    return 1 if bad_outline or bad_points or bad_inside else 0


if __name__ == "__main__":
    sys.exit(main())
