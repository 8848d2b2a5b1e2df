# Holds COUNT persistent connections to 127.0.0.1:PORT open, each asking for
# PATH once and then again every few seconds, so that it stays open without
# ever being busy; meanwhile reads the server's resident memory and times new
# peers (connect, request, whole response) from a process of their own, so
# that this one's loop does not count. Prints one JSON line.
# Usage: python3 idle-connections.py PORT PATH COUNT SERVER_PID
import asyncio, json, statistics, subprocess, sys, time

PORT, PATH, COUNT, PID = int(sys.argv[1]), sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
REQUEST = ("GET /%s HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n" % PATH).encode()
# Below the server's 5 s idle wait: each connection asks again before it.
REFRESH_S = 3.0
HOLD_S = 12.0
OPEN_AT_ONCE = 200


def rss_kib():
    for line in open("/proc/%d/status" % PID):
        if line.startswith("VmRSS:"):
            return int(line.split()[1])
    return 0


async def exchange(reader, writer):
    writer.write(REQUEST)
    await writer.drain()
    head = await reader.readuntil(b"\r\n\r\n")
    length = 0
    for line in head.split(b"\r\n"):
        if line.lower().startswith(b"content-length:"):
            length = int(line.split(b":")[1])
    await reader.readexactly(length)


async def holder(index, stop, opened, reopened):
    reader, writer = await asyncio.open_connection("127.0.0.1", PORT)
    await exchange(reader, writer)
    opened.append(index)
    # Staggered, so that the refreshes spread over the interval.
    await asyncio.sleep(REFRESH_S * (index % 100) / 100)
    while not stop.is_set():
        try:
            await exchange(reader, writer)
        except (asyncio.IncompleteReadError, ConnectionError):
            # On a busy machine this loop may come late, past the server's
            # idle wait: the server closed the connection, as it should. A
            # new one takes its place.
            reopened.append(index)
            writer.close()
            reader, writer = await asyncio.open_connection("127.0.0.1", PORT)
            continue
        await asyncio.sleep(REFRESH_S)
    writer.close()


PROBE = '''
import socket, sys, time
port, request = int(sys.argv[1]), sys.argv[2].encode()
for _ in range(20):
    time.sleep(0.1)
    start = time.monotonic()
    s = socket.create_connection(("127.0.0.1", port))
    s.sendall(request)
    data = b""
    while b"\\r\\n\\r\\n" not in data:
        data += s.recv(65536)
    head, _, body = data.partition(b"\\r\\n\\r\\n")
    length = int([l for l in head.split(b"\\r\\n") if l.lower().startswith(b"content-length:")][0].split(b":")[1])
    while len(body) < length:
        body += s.recv(65536)
    print((time.monotonic() - start) * 1000)
    s.close()
'''


async def new_peers_ms():
    probe = await asyncio.create_subprocess_exec(
        sys.executable, "-c", PROBE, str(PORT), REQUEST.decode(), stdout=subprocess.PIPE)
    out, _ = await probe.communicate()
    return [float(line) for line in out.split()]


async def main():
    before = rss_kib()
    stop = asyncio.Event()
    opened, reopened, tasks = [], [], []
    for first in range(0, COUNT, OPEN_AT_ONCE):
        batch = [asyncio.create_task(holder(i, stop, opened, reopened)) for i in range(first, min(COUNT, first + OPEN_AT_ONCE))]
        tasks += batch
        while len(opened) < min(COUNT, first + OPEN_AT_ONCE):
            await asyncio.sleep(0.01)
            for task in batch:
                if task.done() and task.exception():
                    raise task.exception()
    await asyncio.sleep(HOLD_S)
    samples = await new_peers_ms()
    during = rss_kib()
    failures = [task.exception() for task in tasks if task.done() and task.exception()]
    failed = len(failures)
    if failures:
        print("first failure: %r" % failures[0], file=sys.stderr)
    stop.set()
    print(json.dumps({"connections": COUNT, "failed": failed, "reopened_after_idle_close": len(reopened), "rss_before_kib": before,
                      "rss_with_connections_kib": during, "rss_added_mib": round((during - before) / 1024, 1),
                      "new_peer_ms_median": round(statistics.median(samples), 2),
                      "new_peer_ms_max": round(max(samples), 2)}))
    for task in tasks:
        task.cancel()


asyncio.run(main())
