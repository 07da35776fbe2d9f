#!/usr/bin/python3
"""Compares the quantitative reconstruction mode with scikit-image's iradon.

    scripts/compare-skimage.py [BUILD_DIR]

Runs `zorvel-bench-quant export` (a noise-free Shepp-Logan series written as ITEX
intensities, its middle line reconstructed in the quantitative mode with every window),
reconstructs the same sinogram with skimage.transform.iradon and each matching filter,
and prints the root-mean-square error against the phantom inside the reconstruction
circle, for both, with the ratio. Exit status 1 when Ram-Lak is worse than iradon's ramp
or any window is more than 2 % worse than iradon's filter of the same name.
Needs python3-numpy and python3-skimage (not needed by the build or the tests).
"""
import os
import subprocess
import sys
import tempfile

import numpy as np
from skimage.transform import iradon

WINDOWS = [("ramlak", "ramp"), ("shepp-logan", "shepp-logan"), ("cosine", "cosine"),
           ("hamming", "hamming"), ("hann", "hann")]


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    tool = os.path.join(build, "benchmarks", "quant", "zorvel-bench-quant")
    with tempfile.TemporaryDirectory() as out:
        subprocess.run([tool, "export", out], check=True)
        sinogram = np.loadtxt(os.path.join(out, "sinogram.txt"))  # M rows of w samples
        truth = np.loadtxt(os.path.join(out, "truth.txt"))
        ours = {name: np.loadtxt(os.path.join(out, name + ".txt")) for name, _ in WINDOWS}

    m, w = sinogram.shape
    n = truth.shape[0]
    c = n / 2
    z, x = np.mgrid[0:n, 0:n]
    # Strictly inside the circle both programs reconstruct, one pixel in from its edge.
    inside = np.hypot(x - c, z - c) < c - 1
    theta = np.arange(m) * 180.0 / m

    def rms(image):
        return float(np.sqrt(np.mean((image[inside] - truth[inside]) ** 2)))

    def skimage_slice(filter_name):
        # iradon centres the detector and its output at index w // 2 = (w - 1) / 2, our
        # image centre N / 2 with N = w - 1, and uses the same angle direction and pixel
        # order: its first N rows and columns are our frame.
        image = iradon(sinogram.T, theta=theta, output_size=w, filter_name=filter_name,
                       interpolation="linear", circle=True)
        return image[:n, :n]

    print(f"Shepp-Logan, {m} projections over half a turn, sinogram width {w}, image {n} x {n};")
    print(f"RMS error inside the circle of radius {c - 1:g} against the phantom.")
    print(f"{'window':<12} {'zorvel':>12} {'skimage':>12} {'ratio':>10}")
    failed = False
    for ours_name, sk_name in WINDOWS:
        mine = rms(ours[ours_name])
        theirs = rms(skimage_slice(sk_name))
        ratio = mine / theirs
        # Ram-Lak no worse than iradon's ramp (to rounding), windows within 2 %.
        limit = 1.0 + 1e-9 if ours_name == "ramlak" else 1.02
        failed = failed or not ratio <= limit
        print(f"{ours_name:<12} {mine:12.6g} {theirs:12.6g} {ratio:10.6f}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
