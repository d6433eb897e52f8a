#!/usr/bin/python3
"""Writes the exports in this folder with the programs our users export from, each with its
defaults (README.md says which call wrote which file). Needs Debian's python3-numpy,
python3-pandas, python3-gdal, gdal-bin, r-base-core, octave and libreoffice-calc-nogui
(scripts/install-deps.sh --exports). The files are committed: the tests only read them."""
import random
import subprocess
import sys
import tempfile
from pathlib import Path

import numpy as np
import pandas as pd
from osgeo import gdal

HERE = Path(__file__).resolve().parent
gdal.UseExceptions()

# National-grid coordinates, 20 x 15 nodes 10 m apart; X starts on a 100 km line (R: 5e+05).
XS = [500000.0 + 10 * i for i in range(20)]
YS = [5412310.0 + 10 * j for j in range(15)]


def shuffled(points, seed):
    points = list(points)
    random.Random(seed).shuffle(points)
    return points


def write_reference(name, points, fmt):
    """The same points as a plain list in fixed notation."""
    (HERE / name).write_text("".join(f"{fmt % x},{fmt % y},{fmt % z}\n" for x, y, z in points))


def run(command, **kwargs):
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **kwargs)


def main():
    # Elevations to the millimetre, as numpy.savetxt(f, a, delimiter=',') writes them: %.18e.
    heights = shuffled(((x, y, round(101.237 + 0.013 * i * i - 0.021 * j + 0.001 * i * j, 3))
                        for j, y in enumerate(YS) for i, x in enumerate(XS)), 1)
    np.savetxt(HERE / "numpy-grid.xyz", np.array(heights), delimiter=",")
    write_reference("numpy-grid.ref.xyz", heights, "%.3f")

    # A settlement surface: differences of a few hundredths of a millimetre, written as 2e-05.
    settlement = shuffled(((x, y, round((i - 2 * j) * 0.00001, 5))
                           for j, y in enumerate(YS) for i, x in enumerate(XS)), 2)
    write_reference("settlement.ref.xyz", settlement, "%.6f")
    frame = pd.DataFrame(settlement, columns=["E_ETRS89_UTM32", "N_ETRS89_UTM32", "H_DHHN2016"])
    frame.to_csv(HERE / "pandas-settlement.csv", index=False)
    with tempfile.TemporaryDirectory() as scratch:
        plain = Path(scratch) / "calc-settlement.csv"
        frame.to_csv(plain, index=False, float_format="%.5f")
        run(["soffice", "--headless", "--convert-to", "csv", "--outdir", str(HERE), str(plain)], cwd=scratch)
        run(["Rscript", "-e", f'd <- read.csv("{plain}"); names(d) <- c("x", "y", "z"); '
             f'write.csv(d, "{HERE / "r-settlement.csv"}", row.names = FALSE)'])
        run(["octave-cli", "--eval", f'd = dlmread("{plain}", ",", 1, 0); csvwrite("{HERE / "octave-settlement.csv"}", d)'])

    # The settlement surface as a grid file, X across, Y down: pandas' pivot and R's matrix.
    pivot = frame.pivot(index="N_ETRS89_UTM32", columns="E_ETRS89_UTM32", values="H_DHHN2016")
    pivot.rename_axis(index=None, columns=None).to_csv(HERE / "pandas-pivot.csv")
    rows = ["XYZ," + ",".join("%.6f" % x for x in XS)]
    rows += ["%.6f," % y + ",".join("%.6f" % pivot.loc[y, x] for x in XS) for y in YS]
    (HERE / "pivot.ref.csv").write_text("\n".join(rows) + "\n")
    run(["Rscript", "-e", f'd <- read.csv("{HERE / "pandas-pivot.csv"}", check.names = FALSE); '
         f'm <- as.matrix(d[, -1]); rownames(m) <- d[, 1]; colnames(m) <- as.numeric(colnames(m)); '
         f'write.csv(m, "{HERE / "r-pivot.csv"}")'])

    # A Float32 raster through GDAL's XYZ driver, and through gdal2xyz with a nodata cell skipped.
    with tempfile.TemporaryDirectory() as scratch:
        tif = str(Path(scratch) / "settlement.tif")
        band_values = np.array([[(i - 2 * j) * 0.00001 for i in range(20)] for j in range(15)], dtype=np.float32)
        raster = gdal.GetDriverByName("GTiff").Create(tif, 20, 15, 1, gdal.GDT_Float32)
        raster.SetGeoTransform((XS[0] - 5, 10, 0, YS[-1] + 5, 0, -10))
        band = raster.GetRasterBand(1)
        band.SetNoDataValue(-9999)
        band.WriteArray(band_values[::-1])
        raster = None
        run(["gdal_translate", "-q", "-of", "XYZ", "-co", "COLUMN_SEPARATOR=,", "-co", "ADD_HEADER_LINE=YES", tif,
             str(HERE / "gdal-float32.xyz")])
        write_reference("gdal-float32.ref.xyz", [(x, y, float(band_values[j, i])) for j, y in enumerate(YS)
                                                 for i, x in enumerate(XS)], "%.40f")
        raster = gdal.Open(tif, gdal.GA_Update)
        holes = band_values[::-1].copy()
        holes[7, 11] = -9999
        raster.GetRasterBand(1).WriteArray(holes)
        raster = None
        run(["gdal2xyz.py", "-skipnodata", "-csv", tif, str(HERE / "gdal-nodata-skipped.xyz")])

    # Survey shots: points where the instrument stood them, no grid at all.
    rng = np.random.default_rng(3)
    shots = pd.DataFrame({"Easting": rng.uniform(500000, 500200, 120).round(3),
                          "Northing": rng.uniform(5412310, 5412450, 120).round(3),
                          "Height": rng.uniform(99, 104, 120).round(3)})
    shots.to_csv(HERE / "pandas-shots.csv", index=False)


if __name__ == "__main__":
    sys.exit(main())
