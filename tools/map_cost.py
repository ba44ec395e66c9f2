#!/usr/bin/env python3
"""Print what each input of a linked image costs, from a GNU ld map file.

Sizes are the input sections the linker kept (after --gc-sections), summed per
object file of the project and per library for everything else.

usage: map_cost.py <file.map> [top N]
"""
import collections
import os
import re
import sys

ENTRY = re.compile(r"^\s+(\.\S+)?\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$")


def owner(path):
    member = re.match(r"(.*)\((.*)\)$", path)
    if member:
        archive, obj = member.groups()
        if "CMakeFiles" in archive or archive.endswith("libqavcore.a"):
            return os.path.basename(obj).replace(".obj", "")
        return os.path.basename(archive)
    return os.path.basename(path)


def main():
    costs = collections.Counter()
    in_memory_map = False
    pending = None
    for line in open(sys.argv[1], encoding="utf-8", errors="replace"):
        if line.startswith("Linker script and memory map"):
            in_memory_map = True
            continue
        if not in_memory_map:
            continue
        if pending is not None and line.startswith("                "):
            line = " " + pending + line
        pending = None
        stripped = line.strip()
        if re.match(r"^\.\S+$", stripped) and line.startswith(" ."):
            pending = stripped  # long section name: the numbers follow on the next line
            continue
        m = ENTRY.match(line)
        if not m or int(m.group(2), 16) == 0:
            continue
        section, size, path = m.group(1) or "", int(m.group(3), 16), m.group(4)
        if section.startswith((".debug", ".rdata$zzz")) or "*(" in path:
            continue
        costs[owner(path.strip())] += size
    top = int(sys.argv[2]) if len(sys.argv) > 2 else 25
    total = sum(costs.values())
    print(f"{'bytes':>8}  input (of {total} bytes of code and data)")
    for name, size in costs.most_common(top):
        print(f"{size:8d}  {name}")


if __name__ == "__main__":
    main()
