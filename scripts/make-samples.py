#!/usr/bin/python3
"""Writes the bundled sample inputs into samples/ (run once; the outputs are committed).

surface.csv  grid file: "XYZ,x1,...,x21" then "y,z1,...,z21" for 16 rows; a smooth hill
profile.csv  two-row file: X values on line 1, Y values on line 2; a cut through the hill
points.xyz   X,Y,Z list: the nodes of surface.csv in shuffled order, ready to fold

Numbers have six decimals and lines end with CR LF, as the Windows tools write them.
"""
import math
import pathlib
import random

OUT = pathlib.Path(__file__).resolve().parent.parent / "samples"

XS = [10.0 * i for i in range(21)]  # 0 .. 200
YS = [10.0 * j for j in range(16)]  # 0 .. 150


def hill(x, y):
    """A main summit, a lower shoulder and a gentle tilt: smooth, with some character."""
    main = 42.0 * math.exp(-((x - 95.0) ** 2 + (y - 80.0) ** 2) / (2 * 38.0**2))
    shoulder = 15.0 * math.exp(-((x - 160.0) ** 2 + (y - 35.0) ** 2) / (2 * 22.0**2))
    return 100.0 + main + shoulder + 0.04 * x - 0.02 * y


def f6(v):
    return "%.6f" % round(v, 6)


def write(name, lines):
    path = OUT / name
    path.write_bytes("".join(line + "\r\n" for line in lines).encode("ascii"))
    print("wrote", path.relative_to(OUT.parent))


def main():
    OUT.mkdir(exist_ok=True)
    z = {(x, y): round(hill(x, y), 6) for x in XS for y in YS}

    grid = ["XYZ," + ",".join(f6(x) for x in XS)]
    grid += [f6(y) + "," + ",".join(f6(z[x, y]) for x in XS) for y in YS]
    write("surface.csv", grid)

    px = [2.5 * i for i in range(81)]  # 0 .. 200 along the ridge at y = 80
    write("profile.csv", [",".join(f6(x) for x in px), ",".join(f6(hill(x, 80.0)) for x in px)])

    nodes = [(x, y) for y in YS for x in XS]
    random.Random(20240611).shuffle(nodes)
    write("points.xyz", ["%s,%s,%s" % (f6(x), f6(y), f6(z[x, y])) for x, y in nodes])


if __name__ == "__main__":
    main()
