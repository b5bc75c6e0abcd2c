#!/usr/bin/env python3
"""Resident memory of a process by mapped file, largest first, from /proc/PID/smaps.

usage: scripts/file-rss.py <pid> [count]

Counts every page of the file that is resident in the process (code, read-only data, and written
copies alike), so that a library paged in by one feature shows up whole.
"""
import collections
import re
import sys

header = re.compile(r"^[0-9a-f]+-[0-9a-f]+ \S+ \S+ \S+ \S+\s*(.*)$")


def main():
    pid = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 25
    resident = collections.Counter()
    name = None
    with open(f"/proc/{pid}/smaps") as smaps:
        for line in smaps:
            match = header.match(line)
            if match:
                name = match[1].strip()
            elif line.startswith("Rss:") and name and name.startswith("/"):
                resident[name.rsplit("/", 1)[-1]] += int(line.split()[1])
    print("           files %.1f MB" % (sum(resident.values()) / 1024))
    for file, kb in resident.most_common(count):
        print("     %6d kB  %s" % (kb, file))


if __name__ == "__main__":
    main()
