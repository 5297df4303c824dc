#!/usr/bin/env python3
"""A TCP relay that makes a loopback link look like a real network.

    link_proxy.py TARGET_PORT [--delay-ms 10] [--rate-kbit 0] [--count-file PATH]
                              [--target-host 127.0.0.1]

Listens on a free loopback port (printed on the first line of output),
relays every connection to the target, and holds every chunk it reads for
the delay before it passes it on, in each direction and in order. A request
and its answer therefore take at least twice the delay, as they would over
a link with that one-way latency; a bulk transfer keeps streaming, because
chunks are held side by side and not one after the other.

With --rate-kbit, each direction is one link of that rate shared by every
connection: a chunk leaves only when the link has carried the chunks before
it, as a line of 8 Mbit/s carries 1 MB per second whatever the number of
connections. With --count-file, the bytes relayed towards the client (the
answers: headers and bodies) are written to PATH after every chunk.

Plain user-space sockets: no traffic control or other kernel features are
needed.
"""
import argparse
import asyncio
import os
import sys
import time

CHUNK = 64 * 1024
THROTTLED_CHUNK = 8 * 1024  # smaller steps keep a throttled link smooth
QUEUED_CHUNKS = 256  # per direction: a slow reader holds the sender back instead of filling memory


class Link:
    """One direction of the line: its rate, shared by every connection, and
    the bytes it carried."""

    def __init__(self, rate_kbit, count_file=None):
        self.seconds_per_byte = 8.0 / (rate_kbit * 1000.0) if rate_kbit else 0.0
        self.free_at = 0.0
        self.carried = 0
        self.count_file = count_file

    async def carry(self, size):
        if self.seconds_per_byte:
            now = time.monotonic()
            self.free_at = max(self.free_at, now) + size * self.seconds_per_byte
            await asyncio.sleep(self.free_at - now)
        self.carried += size
        if self.count_file:
            temporary = self.count_file + ".tmp"
            with open(temporary, "w") as f:
                f.write("%d\n" % self.carried)
            os.replace(temporary, self.count_file)


async def pump(reader, writer, delay, link):
    """Copies reader to writer, each chunk delayed and carried by the link, order kept."""
    queue = asyncio.Queue(QUEUED_CHUNKS)
    chunk = THROTTLED_CHUNK if link.seconds_per_byte else CHUNK

    async def receive():
        try:
            while True:
                data = await reader.read(chunk)
                await queue.put((time.monotonic() + delay, data))
                if not data:
                    return
        except (ConnectionError, OSError):
            await queue.put((time.monotonic() + delay, b""))

    async def send():
        try:
            while True:
                due, data = await queue.get()
                wait = due - time.monotonic()
                if wait > 0:
                    await asyncio.sleep(wait)
                if not data:
                    writer.write_eof() if writer.can_write_eof() else writer.close()
                    return
                await link.carry(len(data))
                writer.write(data)
                await writer.drain()
        except (ConnectionError, OSError):
            pass

    await asyncio.gather(receive(), send())


async def relay(client_reader, client_writer, target, delay, up, down):
    try:
        server_reader, server_writer = await asyncio.open_connection(*target)
    except OSError:
        client_writer.close()
        return
    await asyncio.gather(pump(client_reader, server_writer, delay, up),
                         pump(server_reader, client_writer, delay, down))
    for writer in (client_writer, server_writer):
        writer.close()


async def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("target_port", type=int)
    parser.add_argument("--target-host", default="127.0.0.1")
    parser.add_argument("--delay-ms", type=float, default=10.0)
    parser.add_argument("--rate-kbit", type=float, default=0.0)
    parser.add_argument("--count-file")
    args = parser.parse_args()
    target = (args.target_host, args.target_port)
    delay = args.delay_ms / 1000.0
    up, down = Link(args.rate_kbit), Link(args.rate_kbit, args.count_file)
    server = await asyncio.start_server(lambda r, w: relay(r, w, target, delay, up, down), "127.0.0.1", 0)
    print(server.sockets[0].getsockname()[1], flush=True)
    async with server:
        await server.serve_forever()


if __name__ == "__main__":
    try:
        asyncio.run(main())
    except KeyboardInterrupt:
        sys.exit(0)
