#!/usr/bin/env python3
"""Bring a PE image to an exact size by adding a zero-filled last section.

Containers are written over the image's last byte, so that byte must belong to
a section (not to an overlay) and be zero. The loader maps the new section as
plain read-only data; SizeOfImage and the checksum are recomputed.

usage: pe_pad.py <input.exe> <output.exe> <exact size>
"""
import struct
import sys

SECTION_HEADER = 40
SCN_INITIALIZED_READ = 0x00000040 | 0x40000000


def align(value, to):
    return (value + to - 1) // to * to


def pe_checksum(data, checksum_offset):
    total = 0
    padded = data + (b"\0" if len(data) % 2 else b"")
    for (word,) in struct.iter_unpack("<H", padded):
        total += word
    # The checksum field itself counts as zero.
    total -= struct.unpack_from("<H", data, checksum_offset)[0]
    total -= struct.unpack_from("<H", data, checksum_offset + 2)[0]
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF


def fail(message):
    sys.stderr.write("pe_pad: " + message + "\n")
    sys.exit(1)


def main():
    if len(sys.argv) != 4:
        fail("usage: pe_pad.py <input.exe> <output.exe> <exact size>")
    src, dst, exact = sys.argv[1], sys.argv[2], int(sys.argv[3])
    data = bytearray(open(src, "rb").read())
    size = len(data)
    print(f"qavstub: {size} bytes unpadded, {exact - size} bytes left of {exact}")

    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        fail("not a PE image")
    coff = pe + 4
    sections, = struct.unpack_from("<H", data, coff + 2)
    symbols, = struct.unpack_from("<I", data, coff + 8)
    opt_size, = struct.unpack_from("<H", data, coff + 16)
    opt = coff + 20
    if struct.unpack_from("<H", data, opt)[0] != 0x20B:
        fail("not a PE32+ image")
    if symbols:
        fail("image still has a symbol table; link with -s")
    section_align, file_align = struct.unpack_from("<II", data, opt + 32)
    size_of_headers, = struct.unpack_from("<I", data, opt + 60)
    table = opt + opt_size

    headers = [struct.unpack_from("<8sIIIIIIHHI", data, table + i * SECTION_HEADER)
               for i in range(sections)]
    raw_end = max(h[4] + h[3] for h in headers)
    virt_end = max(h[2] + max(h[1], h[3]) for h in headers)
    if raw_end != size:
        fail(f"image has {size - raw_end} bytes after its last section")
    pad = exact - size
    if pad < file_align:
        fail(f"qavstub is {size} bytes; it must stay below {exact - file_align + 1} "
             f"so that a zero-filled last section fits (size limit {exact} bytes)")
    if pad % file_align:
        fail(f"padding {pad} is not a multiple of the file alignment {file_align}")

    slot = table + sections * SECTION_HEADER
    first_raw = min(h[4] for h in headers if h[3])
    if slot + SECTION_HEADER > min(size_of_headers, first_raw) or any(data[slot:slot + SECTION_HEADER]):
        fail("no room for one more section header")

    va = align(virt_end, section_align)
    struct.pack_into("<8sIIIIIIHHI", data, slot, b".qavpad\0", pad, va, pad, size,
                     0, 0, 0, 0, SCN_INITIALIZED_READ)
    struct.pack_into("<H", data, coff + 2, sections + 1)
    init_data, = struct.unpack_from("<I", data, opt + 8)
    struct.pack_into("<I", data, opt + 8, init_data + pad)
    struct.pack_into("<I", data, opt + 56, align(va + pad, section_align))
    data += bytes(pad)
    struct.pack_into("<I", data, opt + 64, pe_checksum(bytes(data), opt + 64))

    if len(data) != exact or data[-1] != 0:
        fail("padded image has the wrong size or a non-zero last byte")
    open(dst, "wb").write(data)


if __name__ == "__main__":
    main()
