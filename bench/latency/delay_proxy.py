#!/usr/bin/env python3
"""A TCP relay that makes a loopback link look like a real network.

    delay_proxy.py TARGET_PORT [--delay-ms 10] [--target-host 127.0.0.1]

Listens on a free loopback port (printed on the first line of output),
relays every connection to the target, and holds every chunk it reads for
the delay before it passes it on, in each direction and in order. A request
and its answer therefore take at least twice the delay, as they would over
a link with that one-way latency; a bulk transfer keeps streaming, because
chunks are held side by side and not one after the other. Plain user-space
sockets: no traffic control or other kernel features are needed.
"""
import argparse
import asyncio
import sys
import time

CHUNK = 64 * 1024
QUEUED_CHUNKS = 256  # per direction: a slow reader holds the sender back instead of filling memory


async def pump(reader, writer, delay):
    """Copies reader to writer, each chunk delayed, order kept."""
    queue = asyncio.Queue(QUEUED_CHUNKS)

    async def receive():
        try:
            while True:
                data = await reader.read(CHUNK)
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
                writer.write(data)
                await writer.drain()
        except (ConnectionError, OSError):
            pass

    await asyncio.gather(receive(), send())


async def relay(client_reader, client_writer, target, delay):
    try:
        server_reader, server_writer = await asyncio.open_connection(*target)
    except OSError:
        client_writer.close()
        return
    await asyncio.gather(pump(client_reader, server_writer, delay), pump(server_reader, client_writer, delay))
    for writer in (client_writer, server_writer):
        writer.close()


async def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("target_port", type=int)
    parser.add_argument("--target-host", default="127.0.0.1")
    parser.add_argument("--delay-ms", type=float, default=10.0)
    args = parser.parse_args()
    target = (args.target_host, args.target_port)
    delay = args.delay_ms / 1000.0
    server = await asyncio.start_server(lambda r, w: relay(r, w, target, delay), "127.0.0.1", 0)
    print(server.sockets[0].getsockname()[1], flush=True)
    async with server:
        await server.serve_forever()


if __name__ == "__main__":
    try:
        asyncio.run(main())
    except KeyboardInterrupt:
        sys.exit(0)
