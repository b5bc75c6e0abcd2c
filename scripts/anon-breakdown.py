#!/usr/bin/env python3
"""Where a process's anonymous resident memory lies, from /proc/PID/smaps.

usage: scripts/anon-breakdown.py <pid>

Groups the Anonymous kB of every mapping: the brk heap, malloc's thread arenas (64 MB
reservations), thread stacks (8 MB mappings behind a guard page), other unnamed mappings (blocks
malloc mapped on their own, Qt's images), the main stack, and the private copies of file pages
written after mapping (relocated .data.rel.ro and .data of each library and of the executable).
"""
import collections
import re
import sys

ARENA_RESERVATION_KB = 64 * 1024
THREAD_STACK_KB = 8 * 1024

header = re.compile(r"^([0-9a-f]+)-([0-9a-f]+) (\S+) \S+ \S+ \S+\s*(.*)$")


def mappings(pid):
    current = None
    with open(f"/proc/{pid}/smaps") as smaps:
        for line in smaps:
            match = header.match(line)
            if match:
                if current:
                    yield current
                start, end = int(match[1], 16), int(match[2], 16)
                current = {"start": start, "end": end, "perms": match[3], "name": match[4].strip(),
                           "size": (end - start) // 1024}
            elif current is not None and ":" in line:
                key, _, rest = line.partition(":")
                parts = rest.split()
                if parts and parts[-1] == "kB":
                    current[key] = int(parts[0])
        if current:
            yield current


def main():
    pid = sys.argv[1]
    maps = list(mappings(pid))
    groups = collections.Counter()
    libraries = collections.Counter()
    for index, mapping in enumerate(maps):
        anon = mapping.get("Anonymous", 0)
        name = mapping["name"]
        if name == "[heap]":
            groups["heap (brk, main arena)"] += anon
        elif name == "[stack]":
            groups["main thread stack"] += anon
        elif name.startswith("/"):
            if anon:
                short = name.rsplit("/", 1)[-1]
                libraries[short] += anon
                groups["file pages written (relocations, .data, .bss)"] += anon
        elif name.startswith("["):
            groups[name] += anon
        else:
            previous = maps[index - 1] if index else None
            following = maps[index + 1] if index + 1 < len(maps) else None
            guarded = previous is not None and previous["perms"].startswith("---") \
                and previous["end"] == mapping["start"] and previous["size"] <= 64
            reserved = mapping["size"] + (following["size"] if following and following["perms"].startswith("---")
                                          and following["start"] == mapping["end"] else 0)
            if reserved == ARENA_RESERVATION_KB or (mapping["size"] <= ARENA_RESERVATION_KB
                                                     and mapping["start"] % (ARENA_RESERVATION_KB * 1024) == 0
                                                     and mapping["perms"].startswith("rw")):
                groups["malloc thread arenas"] += anon
            elif guarded and mapping["size"] in (THREAD_STACK_KB, THREAD_STACK_KB - 4) or \
                    (guarded and mapping["size"] >= 128):
                groups["thread stacks"] += anon
            else:
                groups["other unnamed mappings"] += anon
    total = sum(groups.values())
    for name, kb in groups.most_common():
        if kb == 0:
            continue
        print(f"  {kb / 1024:7.2f} MB  {name}")
    print(f"  {total / 1024:7.2f} MB  total anonymous")
    print("  file pages written, by file:")
    for name, kb in libraries.most_common(12):
        print(f"    {kb:6d} kB  {name}")


main()
