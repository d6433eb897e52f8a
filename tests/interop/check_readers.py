#!/usr/bin/env python3
"""Opens every DXF document plotvane-cli writes with three independent readers and checks what
they read against the point table the document came from; checks gridfold's grid files against
a CSV reader.

    check_readers.py --cli PLOTVANE_CLI --work DIR [--jobs N] [--no-big] [--docs DOCS_DIR]

Readers:
  ezdxf     entity types, order and counts, the layer, every vertex and face corner equal to
            the table's value to six decimals (documents of the 1000 x 1000 grid are streamed).
  ogrinfo   feature count and extent.
  LibreCAD  dxf2pdf, the page rasterised by pdftoppm: blank exactly when nothing is drawn, and
            otherwise the drawing's bounding box has the plan's proportions and sits centred.
The table comes from "plotvane-cli table", so both sides use the viewer's own reading of the
input. Needs a display for LibreCAD (run under xvfb-run). With --docs, writes the LibreCAD
renderings of the surface sample's Face and Mesh documents there as PNG pictures (PV_UPDATE_DOCS=1:
into docs/). Exit status 77 when a reader is not installed.
Prints one line per document; exit status 0 when every check passed.
"""
import argparse
import concurrent.futures
import csv
import itertools
import math
import os
import random
import re
import shutil
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent.parent
LAYER = "plotvane"
BIG = 1000  # columns and rows of the large grid
STREAM_BYTES = 50 << 20  # larger documents are streamed through ezdxf
PAGE_DPI = 40
# GDAL reads a group's value line only this far: longer values (numbers from about 1e248 on
# written out with six decimals) come out cut, so its extent of such documents is not compared.
GDAL_LINE_MAX = 255
# LibreCAD draws nothing for coordinates of 1e11 and beyond, nor for a span tiny next to the
# coordinates (100 units at 1e8): past these limits only its exit status is checked.
LIBRECAD_MAX_COORDINATE = 1e9
LIBRECAD_MIN_RELATIVE_SPAN = 1e-5


# ---- the cases -----------------------------------------------------------------------------------
def big_grid_text():
    lines = ["XYZ," + ",".join("%.3f" % (i * 2.5) for i in range(BIG))]
    for j in range(BIG):
        c = math.cos(j * 0.03)
        lines.append("%.3f," % (j * 2.5) + ",".join(
            "%.4f" % (50 + 10 * math.sin(i * 0.05) * c) for i in range(BIG)))
    return "\r\n".join(lines) + "\r\n"


HUGE = "1" + "0" * 300
# name -> file text; written into WORK/inputs. Grid files are saved with every 3D method,
# two-row files with 2D.
EDGE_GRIDS = {
    "one-data-row": "XYZ,0,10,20\n5,1.5,2.5,3.5\n",
    "header-without-comma": "XYZ\n1\n2\n",
    "negative-zero-grid": "-0,-0,1\n-0,-0.0000001,-0\n1,-0,2\n2,-0.0000004,-0.0000006\n",
    "huge-coordinates": f"0,1000000000000000,-100000000000000000000\n1000000000000000,1,2\n"
                        f"-100000000000000000000,3,{HUGE}\n",
    "large-coordinates": "0,-1000000000,-999999000.25,1000000000\n"
                         "-1000000000,1,2,3\n1000000000,4,5,6\n",
    "survey-offsets": "0,-45123.456,-45023.456,-44923.456\n"
                      "150234.5,12.25,13.5,14.125\n150334.5,15,16,17\n150434.5,18,19,20.5\n",
    "ragged-rows": "XYZ,1,2,3\n10,1\n20,1,2,3,4,5\n30,,7\n",
    "two-by-two": "XYZ,0,1\n0,5,6\n1,7,8\n",
    "empty-grid": "",
    "long-fields": "XYZ,1." + "3" * 100000 + ",-2." + "9" * 100000 + ",7\n"
                   + "0" * 50000 + "5.25,1,2,3\n" + "6,-" + "4" * 300 + ".5,0.1,0.2\n",
    "blank-lines": "XYZ,1,2,3\n" + "\n" * 5000 + "10,1,2,3\n" + "\r\n" * 5000 + "20,4,5,6\n",
}
EDGE_PROFILES = {
    "one-point-profile": "5\n7\n",
    "negative-zero-profile": "-0,1,-0.0000004\n-0,-0,3\n",
    "unequal-rows-profile": "0,1,2,3\n5,6\n",
    "huge-profile": f"0,{HUGE},-100000000000000000000\n1,2,3\n",
    "empty-profile": "",
    "wide-profile": ",".join(str(k * 0.25) for k in range(100000)) + "\n"
                    + ",".join("%.6f" % math.sin(k * 0.001) for k in range(100000)) + "\n",
}


def write_inputs(work, big):
    """(name, input path, 2d) for every case."""
    inputs = work / "inputs"
    inputs.mkdir(parents=True, exist_ok=True)
    cases = [("sample-profile", ROOT / "samples" / "profile.csv", True),
             ("sample-surface", ROOT / "samples" / "surface.csv", False)]
    for table, two_row in ((EDGE_GRIDS, False), (EDGE_PROFILES, True)):
        for name, text in table.items():
            path = inputs / f"{name}.csv"
            path.write_bytes(text.encode("ascii"))
            cases.append((name, path, two_row))
    for path in sorted((ROOT / "tests" / "data" / "hostile").glob("*.csv")):
        cases.append((f"hostile-{path.stem}-grid", path, False))
        cases.append((f"hostile-{path.stem}-profile", path, True))
    if big:
        path = inputs / "grid-1000x1000.csv"
        if not path.exists():
            path.write_bytes(big_grid_text().encode("ascii"))
        cases.insert(0, ("grid-1000x1000", path, False))
    return cases


# ---- the table and what each method makes of it ----------------------------------------------
def run(args, **kw):
    return subprocess.run(args, capture_output=True, **kw)


def read_table(cli, path, two_row):
    out = run([cli, "table", "--2d" if two_row else "--3d", str(path)], check=True).stdout
    lines = out.decode("ascii").splitlines()
    if lines[0] == "empty":
        return None
    last_column, last_row = map(int, lines[0].split())
    rows = [[float(cell) for cell in line.split(",")] for line in lines[1:]]
    return last_column, last_row, rows


def fmt(value):
    return "%.6f" % value


def expected_entities(table, method):
    """What the document must hold, as ezdxf entities are normalised by `normalise`."""
    if table is None:
        return
    L, R, t = table
    text = [[fmt(v) for v in row] for row in t]
    if method == "2d":
        yield ("POLYLINE", LAYER, 0, [(text[0][k], text[1][k], fmt(0.0)) for k in range(L + 1)])
        return
    node = lambda i, j: (text[0][i], text[j][0], text[j][i])
    if method == "line":
        for i in range(1, L + 1):
            yield ("POLYLINE", LAYER, 8, [node(i, j) for j in range(1, R + 1)])
        for j in range(1, R + 1):
            yield ("POLYLINE", LAYER, 8, [node(i, j) for i in range(1, L + 1)])
        return
    if L < 2 or R < 2:
        return
    for i in range(1, L):
        for j in range(1, R):
            corners = [node(i, j), node(i + 1, j), node(i + 1, j + 1), node(i, j + 1)]
            if method == "mesh":
                yield ("POLYLINE", LAYER, 9, corners)
            else:
                yield ("3DFACE", LAYER, 9, corners)
                yield ("SEQEND",)


def normalise(entity):
    kind = entity.dxftype()
    if kind == "POLYLINE":
        return (kind, entity.dxf.layer, entity.dxf.flags,
                [tuple(map(fmt, v.dxf.location)) for v in entity.vertices])
    if kind == "3DFACE":
        return (kind, entity.dxf.layer, entity.dxf.invisible,
                [tuple(map(fmt, entity.dxf.get(f"vtx{k}"))) for k in range(4)])
    return (kind,)


def points(table, method):
    """Every vertex as numbers, the segments a plan view draws, and whether any entity draws
    (a polyline of two or more vertices, a face) even if only a dot."""
    vertices, segments, draws = [], [], False
    for entity in expected_entities(table, method):
        if entity[0] == "SEQEND":
            continue
        corners = [(float(x), float(y)) for x, y, _ in entity[3]]
        vertices += corners
        closed = entity[0] == "3DFACE" or entity[2] & 1
        pairs = list(zip(corners, corners[1:])) + ([(corners[-1], corners[0])] if closed else [])
        segments += [pair for pair in pairs if pair[0] != pair[1]]
        draws = draws or len(corners) > 1
    return vertices, segments, draws


# ---- the readers ---------------------------------------------------------------------------------
def check_ezdxf(path, table, method):
    import ezdxf
    from ezdxf.addons import iterdxf
    streamed = path.stat().st_size > STREAM_BYTES
    if streamed:
        stream = open(path, "rb")
        found = iterdxf.single_pass_modelspace(stream)
    else:
        stream = None
        doc = ezdxf.readfile(str(path))
        if doc.dxfversion != "AC1009":
            return [f"ezdxf: DXF version {doc.dxfversion}, not AC1009 (R12)"], ""
        found = iter(doc.modelspace())
    expected = expected_entities(table, method)
    if streamed and method == "face":
        # The streaming reader drops the document's last SEQEND.
        expected = drop_last(expected)
    counts = {}
    try:
        for index, (want, got) in enumerate(itertools.zip_longest(expected, map(normalise, found))):
            if want != got:
                return [f"ezdxf: entity {index}: expected {short(want)}, read {short(got)}"], ""
            counts[got[0]] = counts.get(got[0], 0) + 1
    finally:
        if stream:
            stream.close()
    summary = ", ".join(f"{n} {kind}" for kind, n in sorted(counts.items())) or "no entities"
    return [], f"ezdxf{' (streamed)' if streamed else ''}: {summary}"


def drop_last(items):
    previous = None
    for item in items:
        if previous is not None:
            yield previous
        previous = item


def short(entity):
    text = repr(entity)
    return text if len(text) < 300 else text[:300] + "..."


def check_ogrinfo(path, table, method):
    result = run(["ogrinfo", "-ro", "-al", "-so", str(path)])
    if result.returncode:
        return [f"ogrinfo: exit {result.returncode}: {result.stderr.decode(errors='replace')[-300:]}"], ""
    text = result.stdout.decode(errors="replace")
    count = re.search(r"Feature Count: (\d+)", text)
    features = count.group(1) if count else "?"
    # GDAL makes no feature of a polyline without vertices.
    entities = [e for e in expected_entities(table, method) if e[0] != "SEQEND" and e[3]]
    errors = []
    if features != str(len(entities)):
        errors.append(f"ogrinfo: feature count {features}, expected {len(entities)}")
    extent = re.search(r"Extent: \(([^,]+), ([^)]+)\) - \(([^,]+), ([^)]+)\)", text)
    vertices, _, _ = points(table, method)
    coordinates = vertices_flat(vertices)
    if not vertices:
        if extent:
            errors.append(f"ogrinfo: extent {extent.groups()} of a document without vertices")
        return errors, f"ogrinfo: {features} features"
    if not all(map(math.isfinite, coordinates)):
        return errors, f"ogrinfo: {features} features (extent not checked: infinite coordinates)"
    if max(len(fmt(c)) for c in coordinates) > GDAL_LINE_MAX:
        return errors, f"ogrinfo: {features} features (extent not checked: values longer than its " \
                       f"{GDAL_LINE_MAX}-character lines)"
    xs, ys = coordinates[0::2], coordinates[1::2]
    want = [min(xs), min(ys), max(xs), max(ys)]
    got = [float(v) for v in extent.groups()] if extent else None
    if got is None or any(not near(w, g) for w, g in zip(want, got)):
        errors.append(f"ogrinfo: extent {extent.groups() if extent else None}, expected {[fmt(v) for v in want]}")
    return errors, f"ogrinfo: {features} features"


def vertices_flat(vertices):
    return [c for v in vertices for c in v]


def near(want, got):
    """ogrinfo prints its extent with "%f" but not exactly beyond 17 digits; -0 may print as 0."""
    return abs(float(fmt(want)) - got) <= max(0.5e-6, 1e-15 * abs(want))


def read_pgm(path):
    data = path.read_bytes()
    magic, width, height, _, pixels = data.split(maxsplit=4)
    if magic != b"P5":
        raise ValueError(f"{path}: not a binary PGM")
    return int(width), int(height), pixels


def dark_box(width, height, pixels):
    box = None
    for y in range(height):
        row = pixels[y * width:(y + 1) * width]
        dark = [x for x, v in enumerate(row) if v < 128]
        if dark:
            x0, x1 = dark[0], dark[-1]
            box = (x0, y, x1, y) if box is None else (min(box[0], x0), box[1], max(box[2], x1), y)
    return box


def check_librecad(path, table, method, work, picture_dir=None):
    pdf = work / (path.stem + ".pdf")
    pdf.unlink(missing_ok=True)
    # The PDF takes the document's name in the target folder ("-o" takes no value). LibreCAD was
    # seen to abort now and then on documents it converts the next time (a busy machine, a fresh
    # Xvfb): a run ended by a signal is tried twice more; any other failure counts at once.
    for _ in range(3):
        result = run(["librecad", "dxf2pdf", "-a", "-m", "-t", str(work), str(path)])
        if result.returncode >= 0:
            break
    if result.returncode or not pdf.exists():
        return [f"LibreCAD: exit {result.returncode}, {'no PDF' if not pdf.exists() else 'PDF written'}"], ""
    stem = work / path.stem
    result = run(["pdftoppm", "-r", str(PAGE_DPI), "-gray", "-singlefile", str(pdf), str(stem)])
    if result.returncode:
        return [f"pdftoppm: exit {result.returncode}"], ""
    width, height, pixels = read_pgm(stem.with_suffix(".pgm"))
    box = dark_box(width, height, pixels)
    if picture_dir is not None:
        save_picture(path, picture_dir)
    stem.with_suffix(".pgm").unlink()
    pdf.unlink()

    vertices, segments, draws = points(table, method)
    if not all(map(math.isfinite, vertices_flat(vertices))):
        return [], "LibreCAD: converted (infinite coordinates, picture not checked)"
    if not segments:
        if not box:
            return [], "LibreCAD: blank, as nothing is drawn"
        # Entities whose vertices all coincide show as a dot.
        if draws and box[2] - box[0] < 3 and box[3] - box[1] < 3:
            return [], f"LibreCAD: a dot at ({box[0]}, {box[1]}), all vertices in one place"
        return [f"LibreCAD: drew {box} for a document with nothing to draw"], ""
    if not box:
        if out_of_librecad_range(segments):
            return [], "LibreCAD: blank (coordinates beyond its drawing range)"
        return ["LibreCAD: blank picture"], ""
    xs = [x for s in segments for x, _ in s]
    ys = [y for s in segments for _, y in s]
    span_x, span_y = max(xs) - min(xs), max(ys) - min(ys)
    drawn_w, drawn_h = box[2] - box[0] + 1, box[3] - box[1] + 1
    shown = f"LibreCAD: drawn {drawn_w} x {drawn_h} px at ({box[0]}, {box[1]})"
    if out_of_librecad_range(segments):
        return [], shown + " (coordinates beyond its drawing range, extent not checked)"
    if span_x == 0 or span_y == 0:
        # A drawing without width or height is a line: only its thickness says much.
        thin = drawn_w if span_x == 0 else drawn_h
        return ([] if thin <= 3 else [f"{shown}: a straight line expected"]), shown
    # Fitted to the page and centred, lines about a pixel wide.
    scale = min(width / span_x, height / span_y)
    want_w, want_h = span_x * scale, span_y * scale
    centre = ((box[0] + box[2] + 1) / 2, (box[1] + box[3] + 1) / 2)
    errors = []
    if abs(drawn_w - want_w) > 3 or abs(drawn_h - want_h) > 3:
        errors.append(f"{shown}, expected {want_w:.1f} x {want_h:.1f} px")
    if abs(centre[0] - width / 2) > 3 or abs(centre[1] - height / 2) > 3:
        errors.append(f"{shown}: not centred on the {width} x {height} page")
    return errors, shown


def out_of_librecad_range(segments):
    xs = [x for s in segments for x, _ in s]
    ys = [y for s in segments for _, y in s]
    largest = max(max(map(abs, xs)), max(map(abs, ys)))
    span = max(max(xs) - min(xs), max(ys) - min(ys))
    return largest > LIBRECAD_MAX_COORDINATE or span < LIBRECAD_MIN_RELATIVE_SPAN * largest


def save_picture(path, picture_dir):
    """LibreCAD's drawing of the document, fitted inside 10 mm page margins (so that no edge
    line is cut), cropped from a 100 dpi rendering with a white border, as PNG."""
    work = picture_dir / "librecad-pdf"
    work.mkdir(parents=True, exist_ok=True)
    run(["librecad", "dxf2pdf", "-a", "-m", "-f", "10,10,10,10", "-t", str(work), str(path)], check=True)
    pdf = work / (path.stem + ".pdf")
    run(["pdftoppm", "-r", str(PAGE_DPI), "-gray", "-singlefile", str(pdf), str(work / "page")], check=True)
    box = dark_box(*read_pgm(work / "page.pgm"))
    dpi, border = 100, 12
    scale = dpi / PAGE_DPI
    x, y = int(box[0] * scale) - border, int(box[1] * scale) - border
    w, h = int((box[2] - box[0] + 1) * scale) + 2 * border, int((box[3] - box[1] + 1) * scale) + 2 * border
    name = picture_dir / ("librecad-" + path.stem.split("-")[-1])
    run(["pdftoppm", "-png", "-r", str(dpi), "-singlefile", "-x", str(x), "-y", str(y), "-W", str(w), "-H", str(h),
         str(pdf), str(name)], check=True)
    for leftover in work.iterdir():
        leftover.unlink()
    work.rmdir()


# ---- one document --------------------------------------------------------------------------------
def check_document(cli, work, name, source, two_row, method, picture_dir):
    path = work / "dxf" / f"{name}-{method}.dxf"
    result = run([cli, "dxf", "--method", method, str(source), str(path)])
    if result.returncode:
        return False, f"{path.name}: plotvane-cli dxf failed: {result.stderr.decode(errors='replace').strip()}"
    table = read_table(cli, source, two_row)
    errors, notes = [], []
    for reader in (check_ezdxf, check_ogrinfo):
        try:
            found, note = reader(path, table, method)
        except Exception as error:  # a reader that cannot open the document fails the check
            found, note = [f"{reader.__name__}: {type(error).__name__}: {error}"], ""
        errors += found
        notes.append(note)
    try:
        found, note = check_librecad(path, table, method, work / "pictures",
                                     picture_dir if name == "sample-surface" and method in ("face", "mesh") else None)
    except Exception as error:
        found, note = [f"LibreCAD: {type(error).__name__}: {error}"], ""
    errors += found
    notes.append(note)
    size = path.stat().st_size
    if size > STREAM_BYTES:
        path.unlink()  # hundreds of megabytes each; they are quick to write again
    head = f"{'ok  ' if not errors else 'FAIL'} {path.name} ({size} bytes)"
    return not errors, head + "".join(f"\n       {line}" for line in errors or [n for n in notes if n])


# ---- gridfold's grid files -----------------------------------------------------------------------
def xyz_lists(work):
    """(name, path) of X,Y,Z lists to fold."""
    lists = [("sample-points", ROOT / "samples" / "points.xyz")]
    rng = random.Random(7)
    xs = [round(rng.uniform(-5000, 5000), rng.randrange(0, 7)) for _ in range(40)]
    ys = [round(rng.uniform(-5000, 5000), rng.randrange(0, 7)) for _ in range(30)]
    xs[3], ys[4] = -0.0, -0.0
    lines = [f"{x!r},{y!r},{rng.uniform(-100, 1000):.6f}" for x in set(xs) for y in set(ys)]
    rng.shuffle(lines)
    path = work / "inputs" / "shuffled.xyz"
    path.write_bytes(("\r\n".join(lines) + "\r\n").encode("ascii"))
    lists.append(("shuffled", path))
    # Large coordinates, long decimal tails, a 200 x 150 grid.
    xs = [rng.uniform(-1e12, 1e12) for _ in range(200)]
    ys = [rng.uniform(-1e9, 1e9) for _ in range(150)]
    lines = [f"{x!r},{y!r},{rng.uniform(-1, 1)!r}" for x in xs for y in ys]
    rng.shuffle(lines)
    path = work / "inputs" / "large-values.xyz"
    path.write_bytes(("\n".join(lines) + "\n").encode("ascii"))
    lists.append(("large-values", path))
    return lists


def check_fold(cli, work, name, source):
    grid = work / "folded" / f"{name}.csv"
    result = run([cli, "fold", str(source), str(grid)])
    if result.returncode:
        return False, f"FAIL fold {name}: {result.stderr.decode(errors='replace').strip()}"
    table = read_table(cli, grid, False)
    with open(grid, newline="", encoding="ascii") as f:
        rows = list(csv.reader(f))
    errors = []
    if table is None:
        errors.append("the viewer read no table")
    else:
        L, R, t = table
        if len(rows) != R + 1:
            errors.append(f"csv: {len(rows)} rows, the viewer's last row index {R}")
        for r, row in enumerate(rows[:R + 1]):
            if len(row) != L + 1:
                errors.append(f"csv row {r}: {len(row)} fields, the viewer's last column index {L}")
                break
            # The header's first field names the axes; the viewer reads a text as 0.
            values = [0.0 if (r, c) == (0, 0) else float(cell) for c, cell in enumerate(row)]
            if (r == 0 and row[0] != "XYZ") or any(repr(a) != repr(b) for a, b in zip(values, t[r])):
                errors.append(f"csv row {r}: {row[:6]}... against the viewer's {t[r][:6]}...")
                break
    if errors:
        return False, f"FAIL fold {name}: " + "; ".join(errors)
    return True, f"ok   fold {name}: {R + 1} rows of {L + 1} fields read alike by csv and the viewer"


# ---- main ----------------------------------------------------------------------------------------
def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--work", required=True, type=Path)
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 1)
    parser.add_argument("--no-big", action="store_true")
    parser.add_argument("--docs", type=Path,
                        default=ROOT / "docs" if os.environ.get("PV_UPDATE_DOCS") == "1" else None)
    options = parser.parse_args()
    # What this machine lacks is no failure of the documents: the test reports it as not run.
    missing = [tool for tool in ("ogrinfo", "librecad", "pdftoppm") if not shutil.which(tool)]
    try:
        import ezdxf  # noqa: F401
    except ImportError:
        missing.append("ezdxf")
    if missing:
        print(f"check_readers: {', '.join(missing)} not installed (scripts/install-deps.sh --interop)")
        return 77
    cli = str(Path(options.cli).resolve())
    work = options.work.resolve()
    for sub in ("dxf", "pictures", "folded"):
        (work / sub).mkdir(parents=True, exist_ok=True)

    jobs = []
    for name, source, two_row in write_inputs(work, not options.no_big):
        for method in ("2d",) if two_row else ("line", "mesh", "face"):
            jobs.append((cli, work, name, source, two_row, method, options.docs))
    passed = failed = 0
    with concurrent.futures.ProcessPoolExecutor(max_workers=options.jobs) as pool:
        futures = [pool.submit(check_document, *job) for job in jobs]
        futures += [pool.submit(check_fold, cli, work, name, path) for name, path in xyz_lists(work)]
        for future in futures:
            ok, report = future.result()
            print(report, flush=True)
            passed += ok
            failed += not ok
    print(f"check_readers: {passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
