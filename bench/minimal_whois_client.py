#!/usr/bin/env python3
"""The least a WHOIS client can do: N names from stdin, 25 connections at a time, each sending
the name and reading until the server closes. The yardstick for brisquel-cli's own cost.

  minimal_whois_client.py HOST PORT < names.txt   (prints the names answered, then the seconds)
"""
import asyncio, sys, time

async def ask(host, port, name, gate):
    async with gate:
        reader, writer = await asyncio.open_connection(host, port)
        writer.write(name.encode() + b"\r\n")
        await writer.drain()
        await reader.read()  # until the server closes
        writer.close()

async def main():
    host, port = sys.argv[1], int(sys.argv[2])
    names = [line.strip() for line in sys.stdin if line.strip()]
    gate = asyncio.Semaphore(25)
    start = time.monotonic()
    await asyncio.gather(*(ask(host, port, name, gate) for name in names))
    print(len(names), f"{time.monotonic() - start:.3f}")

asyncio.run(main())
