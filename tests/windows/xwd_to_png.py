#!/usr/bin/env python3
"""The screen Xvfb keeps in a file (-fbdir, XWD format, 24 or 32 bits a pixel) as a PNG.

Usage: xwd_to_png.py SCREEN_FILE OUT.png
"""
import struct
import sys
import zlib


def read_xwd(data):
    header = struct.unpack(">25I", data[:100])
    header_size, width, height = header[0], header[4], header[5]
    byte_order, bits_per_pixel, bytes_per_line = header[7], header[11], header[12]
    red_mask, green_mask, blue_mask = header[14], header[15], header[16]
    colours = header[19]
    if bits_per_pixel not in (24, 32):
        raise SystemExit(f"xwd_to_png: {bits_per_pixel} bits a pixel are not read")
    pixels = header_size + colours * 12
    step = bits_per_pixel // 8
    order = "little" if byte_order == 0 else "big"
    shifts = [(mask, (mask & -mask).bit_length() - 1) for mask in (red_mask, green_mask, blue_mask)]
    rows = []
    for y in range(height):
        line = data[pixels + y * bytes_per_line : pixels + y * bytes_per_line + width * step]
        row = bytearray(b"\0")  # PNG filter: none
        for x in range(0, width * step, step):
            value = int.from_bytes(line[x : x + step], order)
            row += bytes((value & mask) >> shift for mask, shift in shifts)
        rows.append(bytes(row))
    return width, height, b"".join(rows)


def png(width, height, raw):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    return (
        b"\x89PNG\r\n\x1a\n"
        + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
        + chunk(b"IDAT", zlib.compress(raw, 6))
        + chunk(b"IEND", b"")
    )


def main():
    with open(sys.argv[1], "rb") as screen:
        width, height, raw = read_xwd(screen.read())
    with open(sys.argv[2], "wb") as out:
        out.write(png(width, height, raw))


if __name__ == "__main__":
    main()
