#!/usr/bin/env python3
# Writes one CTSim projection file (.pj) per detector row of a 16-bit ITEX series of
# 1024 x 4 pixels: the attenuation ln((I0 - BG) / (I - BG)) of every detector, the
# file header and view angles taken from a CTSim parallel-beam file of the same size
# (made with phm2pj). Usage: ctsim_projections.py SERIES_DIR TEMPLATE.pj ROWS OUT_DIR
import glob, math, os, struct, sys

WIDTH, HEIGHT = 1024, 4


def itex_pixels(path):
    data = open(path, 'rb').read()
    return struct.unpack('<%dH' % (WIDTH * HEIGHT), data[-WIDTH * HEIGHT * 2:])


def main():
    series, template, rows, out = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
    i0 = itex_pixels(os.path.join(series, 'i0.img'))
    bg = itex_pixels(os.path.join(series, 'bg.img'))
    views = [itex_pixels(f) for f in sorted(glob.glob(os.path.join(series, 'phantom_*.img')))]
    head = open(template, 'rb').read()
    header_size = struct.unpack_from('<H', head, 0)[0]
    view_size = 12 + 4 * WIDTH  # angle (double), detector count (int), samples (float)
    for row in range(rows):
        out_bytes = bytearray(head[:header_size])
        for j, view in enumerate(views):
            angle = struct.unpack_from('<d', head, header_size + j * view_size)[0]
            samples = []
            for x in range(WIDTH):
                k = row * WIDTH + x
                flat, measured = i0[k] - bg[k], view[k] - bg[k]
                samples.append(math.log(flat / measured) if flat > 0 and measured > 0 else 0.0)
            out_bytes += struct.pack('<di', angle, WIDTH) + struct.pack('<%df' % WIDTH, *samples)
        open(os.path.join(out, 'row%d.pj' % row), 'wb').write(out_bytes)


main()
