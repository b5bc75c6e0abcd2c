#!/usr/bin/env python3
"""Hostile peers of the local sync server, none holding the key: each keeps one connection open
to --host:--port and opens a new one as soon as the server drops it. The kinds (--kinds, comma
separated, or "mix" for all) take turns: silent (says nothing), hello (a whole TLS 1.2 PSK
ClientHello, then stalls), oversized (a 9-byte record and ClientHello header declaring 131,396
bytes), trickle (a ClientHello one byte every half second), failing (plain HTTP, which fails at
once). The peers take turns over the source addresses of --source: a comma-separated list of
addresses and inclusive ranges such as 127.0.1.1-127.0.1.255 or fd00::1:0-fd00::1:3e7, IPv4 or
IPv6 (the addresses must exist on this host, e.g. on lo in a network namespace). Runs until
--seconds have passed or it is terminated, then prints how many connections the server dropped
per kind.
Example: sync-flood-peers.py --port 4000 --kinds hello --source 127.0.1.0-127.0.2.255"""

import argparse
import errno
import ipaddress
import selectors
import signal
import socket
import time

HELLO = bytes.fromhex(
    "160301006b0100006703036b6388ac157629cab8796ef565e3bd6f9b83a857859e85ec6c1c617fc0c859240000"
    "0400a800ff0100003a002300000016000000170000000d002a00280403050306030807080808090"
    "80a080b080408050806040105010601030303010302040205020602")
OPENINGS = {
    "silent": b"",
    "hello": HELLO,
    "oversized": bytes.fromhex("160301000401020144"),
    "trickle": HELLO,
    "failing": b"GET / HTTP/1.1\r\nHost: x\r\n\r\n",
}
TRICKLE_SECONDS = 0.5


def addresses(spec):
    for item in spec.split(","):
        first, _, last = item.partition("-")
        first = ipaddress.ip_address(first.strip())
        last = ipaddress.ip_address(last.strip()) if last else first
        while first <= last:
            yield str(first)
            first += 1


class Peer:
    def __init__(self, kind, source):
        self.kind = kind
        self.source = source
        self.socket = None
        self.sent = 0
        self.next_trickle = 0.0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--peers", type=int, default=1000)
    parser.add_argument("--seconds", type=float, default=120)
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--source", default="127.0.0.2")
    parser.add_argument("--kinds", default="mix")
    arguments = parser.parse_args()
    ending = []
    # Ended early (by the benchmark, once what it measures is done): the counts are still wanted.
    signal.signal(signal.SIGTERM, lambda *_: ending.append(True))
    kinds = list(OPENINGS) if arguments.kinds == "mix" else arguments.kinds.split(",")
    sources = list(addresses(arguments.source))
    selector = selectors.DefaultSelector()
    dropped = {kind: 0 for kind in kinds}

    def open_peer(peer):
        family = socket.AF_INET6 if ":" in arguments.host else socket.AF_INET
        sock = socket.socket(family, socket.SOCK_STREAM)
        sock.setblocking(False)
        sock.bind((peer.source, 0))
        try:
            sock.connect((arguments.host, arguments.port))
        except BlockingIOError:
            pass
        peer.socket = sock
        peer.sent = 0
        peer.next_trickle = 0.0
        selector.register(sock, selectors.EVENT_READ | selectors.EVENT_WRITE, peer)

    def drop(peer):
        selector.unregister(peer.socket)
        peer.socket.close()
        dropped[peer.kind] += 1
        open_peer(peer)

    peers = [Peer(kinds[i % len(kinds)], sources[i % len(sources)]) for i in range(arguments.peers)]
    for peer in peers:
        open_peer(peer)
    trickling = [peer for peer in peers if peer.kind == "trickle"]
    end = time.monotonic() + arguments.seconds
    while time.monotonic() < end and not ending:
        for key, events in selector.select(timeout=0.05):
            peer = key.data
            if events & selectors.EVENT_READ:
                try:
                    if peer.socket.recv(4096):
                        continue
                except BlockingIOError:
                    continue
                except OSError:
                    pass
                drop(peer)
                continue
            if events & selectors.EVENT_WRITE:
                error = peer.socket.getsockopt(socket.SOL_SOCKET, socket.SO_ERROR)
                if error:
                    drop(peer)
                    continue
                opening = OPENINGS[peer.kind]
                if peer.kind != "trickle" and opening:
                    try:
                        peer.socket.send(opening)
                    except OSError:
                        drop(peer)
                        continue
                selector.modify(peer.socket, selectors.EVENT_READ, peer)
        now = time.monotonic()
        for peer in trickling:
            if peer.sent < len(HELLO) and now >= peer.next_trickle:
                try:
                    peer.socket.send(HELLO[peer.sent:peer.sent + 1])
                    peer.sent += 1
                except (BlockingIOError, OSError) as failure:
                    if getattr(failure, "errno", None) not in (errno.EAGAIN, errno.ENOTCONN):
                        drop(peer)
                        continue
                peer.next_trickle = now + TRICKLE_SECONDS
    print(" ".join(f"{kind}_dropped={count}" for kind, count in dropped.items()), flush=True)


if __name__ == "__main__":
    main()
