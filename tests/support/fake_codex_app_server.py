#!/usr/bin/env python3
"""Replays a scenario in place of `codex app-server` and of other short tools.

Usage: fake_codex_app_server.py SCENARIO LOG [ARGS...]
The arguments after LOG are appended to LOG as one "args" line, and every line read from stdin
is appended to LOG as it arrives. SCENARIO holds one directive per line:
  pid NAME          write this process id to file NAME beside SCENARIO
  spawn NAME        start a helper process in the same group and write its id to NAME
  expect            read one line from stdin (exit 0 on end of input); remembers its "id"
  send TEXT         write TEXT and a line feed; "{id}" becomes the id last read
  raw TEXT          write TEXT without a line feed
  hexline HEX       write the bytes given in hexadecimal and a line feed
  big N             write a line of N bytes (line feed included)
  bytes N           write N bytes of zeros, no line feed
  stderr N          write N bytes to standard error
  drain             read stdin until it ends, then log "EOF"
  closein           close standard input
  hang              wait until killed
  signal N          send signal N to itself
  exit N            exit with status N
"""
import json
import os
import signal
import subprocess
import sys
import time


def main():
    scenario_path, log_path = sys.argv[1], sys.argv[2]
    log = open(log_path, "a", buffering=1)
    log.write("args " + json.dumps(sys.argv[3:]) + "\n")
    out = sys.stdout.buffer
    last_id = "null"
    with open(scenario_path) as scenario:
        directives = [line.rstrip("\n") for line in scenario if line.strip()]
    for directive in directives:
        verb, _, rest = directive.partition(" ")
        beside = os.path.join(os.path.dirname(scenario_path), rest)
        if verb == "pid":
            with open(beside, "w") as f:
                f.write(str(os.getpid()))
        elif verb == "spawn":
            helper = subprocess.Popen(["sleep", "1000"])
            with open(beside, "w") as f:
                f.write(str(helper.pid))
        elif verb == "expect":
            line = sys.stdin.readline()
            if not line:
                log.write("EOF\n")
                return 0
            log.write(line if line.endswith("\n") else line + "\n")
            try:
                last_id = json.dumps(json.loads(line).get("id"))
            except (ValueError, AttributeError):
                last_id = "null"
        elif verb == "send":
            out.write(rest.replace("{id}", last_id).encode() + b"\n")
            out.flush()
        elif verb == "raw":
            out.write(rest.encode())
            out.flush()
        elif verb == "hexline":
            out.write(bytes.fromhex(rest) + b"\n")
            out.flush()
        elif verb == "big":
            out.write(b"x" * (int(rest) - 1) + b"\n")
            out.flush()
        elif verb == "bytes":
            out.write(b"\0" * int(rest))
            out.flush()
        elif verb == "stderr":
            sys.stderr.buffer.write(b"e" * int(rest))
            sys.stderr.flush()
        elif verb == "drain":
            for line in sys.stdin:
                log.write(line)
            log.write("EOF\n")
        elif verb == "closein":
            os.close(0)
        elif verb == "hang":
            while True:
                time.sleep(3600)
        elif verb == "signal":
            os.kill(os.getpid(), int(rest))
        elif verb == "exit":
            return int(rest)
    return 0


if __name__ == "__main__":
    sys.exit(main())
