"""The Python package beside the command line, in one series.

  python_bench.py SKY_PROGRAM [SIZE] [ROUNDS] [MAX_DISTANCE] [CHUNKS]

1. umbrascope.horizons on a SIZE x SIZE float32 array against umbrascope-sky's
   own horizon time (its "horizons N s") on the same DEM as a float32 TIFF,
   16 directions, the two alternating ROUNDS times; the medians and their ratio.
2. umbrascope.dask.horizons with MAX_DISTANCE on a LocalCluster of two worker
   processes, the DEM read from Zarr in CHUNKS x CHUNKS chunks (default 2048) and
   the angles written to Zarr, against the same job in this process (the DEM read
   from the same Zarr store, umbrascope.horizons with the same MAX_DISTANCE, the
   angles written to Zarr in the same chunks), and against the call alone.
"""
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time
import warnings

import dask.array as da
import numpy as np
import rasterio
from dask.distributed import Client, LocalCluster

import umbrascope
import umbrascope.dask as ud

warnings.filterwarnings("ignore", category=rasterio.errors.NotGeoreferencedWarning)


def terrain(size):
    y, x = np.mgrid[0:size, 0:size].astype(np.float32)
    rng = np.random.default_rng(1)
    return (np.sin(x / 37) * 40 + np.cos(y / 53) * 30 + np.sin((x + y) / 211) * 120
            + rng.random((size, size), dtype=np.float32) * 2).astype(np.float32)


def timed(run):
    """The seconds `run` takes; what it returns is freed after the clock stops, as
    the command line's horizon time leaves its own memory's release out."""
    start = time.perf_counter()
    kept = run()
    seconds = time.perf_counter() - start
    del kept
    return seconds


def main():
    sky = sys.argv[1]
    size = int(sys.argv[2]) if len(sys.argv) > 2 else 4096
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 2
    reach = float(sys.argv[4]) if len(sys.argv) > 4 else 100
    chunks = int(sys.argv[5]) if len(sys.argv) > 5 else 2048
    dem = terrain(size)
    with tempfile.TemporaryDirectory(dir=os.environ.get("PYTHON_BENCH_DIR")) as tmp:
        path = os.path.join(tmp, "dem.tif")
        with rasterio.open(path, "w", driver="GTiff", width=size, height=size, count=1, dtype="float32") as out:
            out.write(dem, 1)
        line, ours = [], []
        for _ in range(rounds):
            done = subprocess.run([sky, path, "--cell", "1", "--angles", os.path.join(tmp, "angles.tif")],
                                  check=True, capture_output=True, text=True)
            line.append(float(re.search(r"horizons ([0-9.]+) s", done.stderr).group(1)))
            ours.append(timed(lambda: umbrascope.horizons(dem, 1)))
        a, b = statistics.median(line), statistics.median(ours)
        print(f"horizons, {size}x{size} float32, 16 directions: command line {a:.2f} s, "
              f"Python {b:.2f} s, ratio {b / a:.3f} (goal 1.05); runs {line} {ours}")

        zarr_dem = os.path.join(tmp, "dem.zarr")
        da.from_array(dem, chunks=chunks).to_zarr(zarr_dem)
        single = timed(lambda: umbrascope.horizons(dem, 1, max_distance=reach))

        def one_process():
            angles, _ = umbrascope.horizons(da.from_zarr(zarr_dem).compute(), 1, max_distance=reach)
            da.from_array(angles, chunks=(angles.shape[0], chunks, chunks)).to_zarr(os.path.join(tmp, "one.zarr"))
            return angles

        job = timed(one_process)
        with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None) as cluster, \
                Client(cluster):
            angles, _ = ud.horizons(da.from_zarr(zarr_dem), 1, max_distance=reach)
            spread = timed(lambda: angles.to_zarr(os.path.join(tmp, "angles.zarr")))
        print(f"max distance {reach:g} m, halo {ud.halo(1, reach)[0]} cells, chunks {chunks}: Dask on two local "
              f"workers (Zarr to Zarr) {spread:.2f} s; one process, Zarr to Zarr {job:.2f} s, ratio "
              f"{spread / job:.3f} (goal 1.3); the call alone {single:.2f} s, ratio {spread / single:.3f}")


if __name__ == "__main__":
    main()
