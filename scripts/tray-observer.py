#!/usr/bin/env python3
"""The X side of scripts/measure-daily.sh: starts a tray program and times what the tray shows.

usage: tray-observer.py PROGRAM [ARGS...]
Starts PROGRAM under the current DISPLAY (an XEmbed tray host must be running) and prints, one
line each:
  pid P
  embedded MS     milliseconds from the start to the icon window's reparenting into the tray
  icon WINDOW     the icon window's id
The icon window is the one reparented into the tray last: a program may make its icon window
again. Then reads commands from standard input, one a line:
  paint FILE N    waits until FILE holds at least N lines, each the wall-clock nanoseconds of a
                  Codex answer, then for the first X Damage on the icon window after the N-th
                  answer; prints "paint MS" (answer to damage) or "paint none" after 10 s
  writes          prints "writes K": renames onto $XDG_CONFIG_HOME/Vantorel/defaults.json since
                  the last "writes"
  icon            prints "icon WINDOW", the icon window now
Only libX11, libXdamage and libc are used, through ctypes.
"""
import ctypes
import os
import select
import struct
import subprocess
import sys
import time
from ctypes import POINTER, byref, c_char_p, c_int, c_long, c_ulong, c_void_p

WAIT_NS = 10 * 1_000_000_000

x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
xdamage = ctypes.cdll.LoadLibrary("libXdamage.so.1")
libc = ctypes.CDLL(None, use_errno=True)
x11.XOpenDisplay.restype = c_void_p
x11.XOpenDisplay.argtypes = [c_char_p]
x11.XDefaultRootWindow.restype = c_ulong
x11.XDefaultRootWindow.argtypes = [c_void_p]
x11.XSelectInput.argtypes = [c_void_p, c_ulong, c_long]
x11.XConnectionNumber.argtypes = [c_void_p]
x11.XPending.argtypes = [c_void_p]
x11.XNextEvent.argtypes = [c_void_p, c_void_p]
x11.XFlush.argtypes = [c_void_p]
xdamage.XDamageQueryExtension.argtypes = [c_void_p, POINTER(c_int), POINTER(c_int)]
xdamage.XDamageCreate.restype = c_ulong
xdamage.XDamageCreate.argtypes = [c_void_p, c_ulong, c_int]

REPARENT_NOTIFY = 21
SUBSTRUCTURE_NOTIFY_MASK = 1 << 19
DAMAGE_REPORT_RAW_RECTANGLES = 0
IN_MOVED_TO = 0x80
IN_CLOSE_WRITE = 0x8


class Event(ctypes.Union):
    _fields_ = [("type", c_int), ("pad", c_long * 24)]


class ReparentEvent(ctypes.Structure):
    _fields_ = [("type", c_int), ("serial", c_ulong), ("send_event", c_int), ("display", c_void_p),
                ("event", c_ulong), ("window", c_ulong), ("parent", c_ulong)]


class DamageEvent(ctypes.Structure):
    _fields_ = [("type", c_int), ("serial", c_ulong), ("send_event", c_int), ("display", c_void_p),
                ("drawable", c_ulong)]


# Windows may go away while they are watched: an X error is not fatal here.
ErrorHandler = ctypes.CFUNCTYPE(c_int, c_void_p, c_void_p)
IGNORE_ERRORS = ErrorHandler(lambda display, error: 0)
x11.XSetErrorHandler.argtypes = [ErrorHandler]
x11.XSetErrorHandler.restype = c_void_p
x11.XSetErrorHandler(IGNORE_ERRORS)


def say(text):
    sys.stdout.write(text + "\n")
    sys.stdout.flush()


class Observer:
    def __init__(self):
        self.display = x11.XOpenDisplay(None)
        if not self.display:
            sys.exit("tray-observer: no X display")
        event_base, error_base = c_int(), c_int()
        if not xdamage.XDamageQueryExtension(self.display, byref(event_base), byref(error_base)):
            sys.exit("tray-observer: the X server has no Damage extension")
        self.damage_notify = event_base.value
        self.root = x11.XDefaultRootWindow(self.display)
        x11.XSelectInput(self.display, self.root, SUBSTRUCTURE_NOTIFY_MASK)
        x11.XFlush(self.display)
        self.fd = x11.XConnectionNumber(self.display)
        self.icon = None
        self.embedded_at = None
        self.damages = []
        self.writes = 0
        self.inotify = libc.inotify_init1(os.O_NONBLOCK)
        folder = os.path.join(os.environ.get("XDG_CONFIG_HOME", os.path.expanduser("~/.config")), "Vantorel")
        os.makedirs(folder, exist_ok=True)
        libc.inotify_add_watch(self.inotify, folder.encode(), IN_MOVED_TO | IN_CLOSE_WRITE)

    def pump(self, timeout):
        """Handles what the X server and the settings folder sent, waiting up to `timeout` s."""
        readable, _, _ = select.select([self.fd, self.inotify], [], [], 0 if x11.XPending(self.display) else timeout)
        now = time.time_ns()
        if self.inotify in readable:
            self.read_inotify()
        event = Event()
        while x11.XPending(self.display):
            x11.XNextEvent(self.display, byref(event))
            if event.type == REPARENT_NOTIFY:
                reparent = ctypes.cast(byref(event), POINTER(ReparentEvent)).contents
                if os.environ.get("TRAY_OBSERVER_DEBUG"):
                    sys.stderr.write("reparent %#x into %#x\n" % (reparent.window, reparent.parent))
                if reparent.parent != self.root and reparent.window != self.icon:
                    self.icon = reparent.window
                    if self.embedded_at is None:
                        self.embedded_at = now
                    xdamage.XDamageCreate(self.display, self.icon, DAMAGE_REPORT_RAW_RECTANGLES)
                    x11.XFlush(self.display)
            elif event.type == self.damage_notify:
                self.damages.append(now)
                if os.environ.get("TRAY_OBSERVER_DEBUG"):
                    sys.stderr.write("damage %d\n" % now)

    def read_inotify(self):
        try:
            data = os.read(self.inotify, 65536)
        except BlockingIOError:
            return
        offset = 0
        while offset < len(data):
            _, mask, _, length = struct.unpack_from("iIII", data, offset)
            name = data[offset + 16:offset + 16 + length].rstrip(b"\0")
            offset += 16 + length
            # QSaveFile renames its temporary file onto the settings file: one rename, one write.
            if name == b"defaults.json" and mask & IN_MOVED_TO:
                self.writes += 1

    def start(self, argv):
        started = time.time_ns()
        child = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL)
        say("pid %d" % child.pid)
        deadline = started + WAIT_NS
        while self.icon is None and time.time_ns() < deadline:
            self.pump(0.05)
        if self.icon is None:
            say("embedded none")
            return
        say("embedded %.1f" % ((self.embedded_at - started) / 1e6))
        say("icon %d" % self.icon)

    def paint(self, path, count):
        deadline = time.time_ns() + WAIT_NS
        answer = None
        while time.time_ns() < deadline:
            if answer is None:
                try:
                    with open(path) as answers:
                        lines = answers.read().split()
                    if len(lines) >= count:
                        answer = int(lines[count - 1])
                except (OSError, ValueError):
                    pass
            if answer is not None:
                after = [t for t in self.damages if t > answer]
                if after:
                    say("paint %.2f" % ((after[0] - answer) / 1e6))
                    return
            # The answer file is written by another process: looked at every 2 ms while waiting.
            self.pump(0.002 if answer is None else 0.5)
        say("paint none")


def main():
    observer = Observer()
    observer.start(sys.argv[1:])
    stdin = sys.stdin.fileno()
    buffered = b""
    while True:
        readable, _, _ = select.select([stdin, observer.fd, observer.inotify], [], [])
        if stdin in readable:
            chunk = os.read(stdin, 4096)
            if not chunk:
                return
            buffered += chunk
            while b"\n" in buffered:
                line, buffered = buffered.split(b"\n", 1)
                words = line.decode().split()
                if words[:1] == ["paint"] and len(words) == 3:
                    observer.paint(words[1], int(words[2]))
                elif words == ["icon"]:
                    observer.pump(0)
                    say("icon %d" % (observer.icon or 0))
                elif words == ["writes"]:
                    observer.pump(0)
                    say("writes %d" % observer.writes)
                    observer.writes = 0
        observer.pump(0)


if __name__ == "__main__":
    main()
    if os.environ.get("TRAY_OBSERVER_DEBUG"):
        sys.stderr.write("observer: input ended\n")
