#!/usr/bin/env python3
"""Decodes a PNG written by nimbo-demo (standard library only) and checks it:
valid signature, chunk CRCs and zlib data, the expected size, a picture that
is not uniform (the background gradient has many colours), the simulated
pattern's moving square in it (pixels with full green and blue) and no
black pixel (the pattern has none: every part of the screen was received).

Usage: png_check.py FILE WIDTH HEIGHT"""
import struct
import sys
import zlib


def chunks(data):
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("no PNG signature")
    position = 8
    while position < len(data):
        length, kind = struct.unpack(">I4s", data[position:position + 8])
        body = data[position + 8:position + 8 + length]
        (crc,) = struct.unpack(">I", data[position + 8 + length:position + 12 + length])
        if zlib.crc32(kind + body) & 0xFFFFFFFF != crc:
            raise ValueError("bad CRC in chunk %r" % kind)
        yield kind, body
        position += 12 + length
        if kind == b"IEND":
            return
    raise ValueError("no IEND chunk")


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def decode(path):
    with open(path, "rb") as handle:
        data = handle.read()
    header, compressed = None, b""
    for kind, body in chunks(data):
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            compressed += body
    if header is None:
        raise ValueError("no IHDR chunk")
    width, height, depth, colour, _, _, interlace = header
    channels = {2: 3, 6: 4}.get(colour)
    if depth != 8 or channels is None or interlace != 0:
        raise ValueError("unexpected format: depth %d colour type %d interlace %d" % (depth, colour, interlace))
    raw = zlib.decompress(compressed)
    stride = width * channels
    if len(raw) != height * (stride + 1):
        raise ValueError("image data of %d bytes for %dx%d" % (len(raw), width, height))
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            left = line[x - channels] if x >= channels else 0
            up = previous[x]
            corner = previous[x - channels] if x >= channels else 0
            if kind == 1:
                line[x] = (line[x] + left) & 0xFF
            elif kind == 2:
                line[x] = (line[x] + up) & 0xFF
            elif kind == 3:
                line[x] = (line[x] + ((left + up) >> 1)) & 0xFF
            elif kind == 4:
                line[x] = (line[x] + paeth(left, up, corner)) & 0xFF
            elif kind != 0:
                raise ValueError("bad filter %d in row %d" % (kind, y))
        rows.append(line)
        previous = line
    return width, height, channels, rows


def main():
    path, width, height = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    try:
        got_width, got_height, channels, rows = decode(path)
    except (OSError, ValueError, zlib.error, struct.error) as error:
        print("%s: not a valid PNG: %s" % (path, error))
        return 1
    if (got_width, got_height) != (width, height):
        print("%s: %dx%d, expected %dx%d" % (path, got_width, got_height, width, height))
        return 1
    colours, square, black = set(), 0, 0
    for line in rows:
        for x in range(0, len(line), channels):
            pixel = bytes(line[x:x + 3])
            colours.add(pixel)
            square += pixel[1] == 255 and pixel[2] == 255
            black += pixel == b"\x00\x00\x00"
    side = min(width, height) // 8
    if len(colours) < 100:
        print("%s: only %d colours: not the pattern" % (path, len(colours)))
        return 1
    if square < side * side * 9 // 10:
        print("%s: %d square pixels, expected about %d" % (path, square, side * side))
        return 1
    if black:
        print("%s: %d black pixels: parts of the screen were never received" % (path, black))
        return 1
    print("%s: %dx%d, %d colours, %d square pixels" % (path, width, height, len(colours), square))
    return 0


if __name__ == "__main__":
    sys.exit(main())
