#!/usr/bin/env python3
"""Fail when the stub imports a DLL that Windows may take from the program's folder.

The installer usually runs from a download folder. DLLs in the KnownDLLs list
are always mapped from the system folder, so only those may be imported at
link time; anything else must be loaded at run time, after the DLL search has
been restricted to the system folder. Prints the imported DLLs.

usage: check_imports.py <image.exe>
"""
import struct
import sys

# Names in HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\KnownDLLs on
# every Windows the stub supports (7 and later), in lower case.
KNOWN_DLLS = {
    "advapi32.dll", "comdlg32.dll", "gdi32.dll", "imagehlp.dll", "kernel32.dll",
    "msvcrt.dll", "ole32.dll", "oleaut32.dll", "psapi.dll", "rpcrt4.dll", "shell32.dll",
    "shlwapi.dll", "user32.dll", "ws2_32.dll",
}


def imported_dlls(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE image")
    sections = struct.unpack_from("<H", data, pe + 6)[0]
    opt_size = struct.unpack_from("<H", data, pe + 20)[0]
    opt = pe + 24
    magic = struct.unpack_from("<H", data, opt)[0]
    dirs = opt + (112 if magic == 0x20B else 96)
    table = opt + opt_size
    spans = []
    for i in range(sections):
        s = table + 40 * i
        vsize, va, rawsize, raw = struct.unpack_from("<IIII", data, s + 8)
        spans.append((va, max(vsize, rawsize), raw))

    def offset(rva):
        for va, size, raw in spans:
            if va <= rva < va + size:
                return raw + rva - va
        raise ValueError("RVA %#x outside the sections" % rva)

    def name_at(rva):
        at = offset(rva)
        return data[at:data.index(b"\0", at)].decode("ascii")

    found = []
    for index, width in ((1, 20), (13, 32)):  # import and delay-import directories
        rva, size = struct.unpack_from("<II", data, dirs + 8 * index)
        if not rva:
            continue
        at = offset(rva)
        while True:
            entry = data[at:at + width]
            if entry == b"\0" * width:
                break
            name_rva = struct.unpack_from("<I", entry, 12 if width == 20 else 4)[0]
            found.append((name_at(name_rva), index == 13))
            at += width
    return found


def main():
    if len(sys.argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    with open(sys.argv[1], "rb") as f:
        data = f.read()
    dlls = imported_dlls(data)
    static = sorted(name for name, delayed in dlls if not delayed)
    delayed = sorted(name for name, delayed in dlls if delayed)
    print("qavstub imports: " + ", ".join(static) +
          ("; delay-loaded: " + ", ".join(delayed) if delayed else ""))
    unsafe = [name for name in static if name.lower() not in KNOWN_DLLS]
    if unsafe:
        sys.stderr.write("check_imports: the stub imports %s, which Windows may load from the "
                         "package's folder; load it at run time instead\n" % ", ".join(unsafe))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
