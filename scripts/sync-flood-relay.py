#!/usr/bin/env python3
"""A phone far away: a TCP relay between the paired device of the sync flood benchmark and the
server that delays every byte by half of --round-trip in each direction. It listens on
--listen (port 0: any), prints the port it got on its first line, and connects to --upstream from
--source, the phone's own address, so the server sees the phone there and not the relay. A new
connection reaches the server one and a half round trips after the phone connected, with its first
bytes, as a real connection's handshake would, and closes reach the other side delayed too.
Runs until --seconds have passed.
Example: sync-flood-relay.py --upstream 127.0.0.1:4000 --source 127.0.0.1 --round-trip 0.3"""

import argparse
import asyncio
import socket
import sys


def endpoint(text):
    host, _, port = text.rpartition(":")
    return host.strip("[]"), int(port)


async def carry(reader, writer, delay, ready):
    """Copies reader to writer, each chunk sent `delay` seconds after it came, never before `ready`
    has been set; an end of stream is passed on the same way."""
    loop = asyncio.get_running_loop()
    queue = asyncio.Queue()

    async def send():
        while True:
            due, chunk = await queue.get()
            await ready.wait()
            await asyncio.sleep(max(0.0, due - loop.time()))
            if not chunk:
                break
            writer.write(chunk)
            await writer.drain()
        if writer.can_write_eof():
            writer.write_eof()

    sender = asyncio.ensure_future(send())
    try:
        while True:
            chunk = await reader.read(65536)
            await queue.put((loop.time() + delay, chunk))
            if not chunk:
                break
        await sender
    except (ConnectionError, OSError):
        sender.cancel()


async def serve(arguments):
    half = arguments.round_trip / 2
    upstream_host, upstream_port = endpoint(arguments.upstream)
    family = socket.AF_INET6 if ":" in upstream_host else socket.AF_INET

    async def relay(phone_reader, phone_writer):
        loop = asyncio.get_running_loop()
        connected = asyncio.Event()
        upstream = {}

        async def open_upstream():
            # SYN there, SYN-ACK back, then the ACK with the first bytes: 1.5 round trips.
            await asyncio.sleep(3 * half)
            try:
                sock = socket.socket(family, socket.SOCK_STREAM)
                sock.setblocking(False)
                sock.bind((arguments.source, 0))
                await loop.sock_connect(sock, (upstream_host, upstream_port))
                upstream["reader"], upstream["writer"] = await asyncio.open_connection(sock=sock)
            except OSError:
                phone_writer.close()
                return
            connected.set()

        opening = asyncio.ensure_future(open_upstream())
        # The phone's bytes wait for the connection; the server's only exist once it is open.
        to_server = asyncio.ensure_future(carry(phone_reader, _Deferred(upstream, connected), half, connected))
        await opening
        if not connected.is_set():
            to_server.cancel()
            return
        to_phone = asyncio.ensure_future(carry(upstream["reader"], phone_writer, half, connected))
        await asyncio.gather(to_server, to_phone, return_exceptions=True)
        for writer in (phone_writer, upstream["writer"]):
            writer.close()

    listen_host, listen_port = endpoint(arguments.listen)
    server = await asyncio.start_server(relay, listen_host, listen_port)
    print(server.sockets[0].getsockname()[1], flush=True)
    await asyncio.sleep(arguments.seconds)
    server.close()


class _Deferred:
    """The upstream writer, known only once the delayed connection is open."""

    def __init__(self, upstream, connected):
        self._upstream = upstream
        self._connected = connected

    def write(self, data):
        self._upstream["writer"].write(data)

    async def drain(self):
        await self._upstream["writer"].drain()

    def can_write_eof(self):
        return self._upstream["writer"].can_write_eof()

    def write_eof(self):
        self._upstream["writer"].write_eof()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--listen", default="127.0.0.1:0")
    parser.add_argument("--upstream", required=True)
    parser.add_argument("--source", default="127.0.0.1")
    parser.add_argument("--round-trip", type=float, default=0.3)
    parser.add_argument("--seconds", type=float, default=3600)
    try:
        asyncio.run(serve(parser.parse_args()))
    except KeyboardInterrupt:
        sys.exit(0)


if __name__ == "__main__":
    main()
