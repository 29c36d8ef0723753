#!/usr/bin/env python3
"""Loopback load client for bench/http-load.sh (standard library only).

  record  --port P --path /49825.mp2 --seconds S --out FILE
      Saves S seconds of a stream's body (plain request, no metadata) to FILE.
  load    --port P --path /x.mp2 --pid PID --label NAME --out FILE.json [counts, times]
      Opens the idle connections (they send nothing), then the listeners (Icy-MetaData: 1) and
      the stalled listeners (they never read), measures every listener's audio bytes over a
      fixed window while sampling the server's CPU time and RSS from /proc (optionally under a
      reset storm: stream requests cut off with a TCP reset), and writes the figures to
      FILE.json.
  report  FILE.json...
      Prints, per server and load, the median of the runs, and the median of the per-pair
      Tunora/icecast2 ratios (runs are paired by their --pair number).

Every connection goes to 127.0.0.1 only; every step has a time-out.
"""
import argparse
import asyncio
import json
import os
import socket
import statistics
import struct
import sys
import time

HOST = "127.0.0.1"
CLK_TCK = os.sysconf("SC_CLK_TCK")


def log(text):
    print(time.strftime("%H:%M:%S"), text, file=sys.stderr, flush=True)


def proc_cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    # After the command name: state is field 3, utime 14, stime 15 (1-based in proc(5)).
    return (int(fields[11]) + int(fields[12])) / CLK_TCK


def proc_rss_kb(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


class Listener(asyncio.Protocol):
    """One stream listener: parses the response head and the ICY metadata blocks and counts
    the audio bytes only."""

    def __init__(self, path, meta):
        self.request = f"GET {path} HTTP/1.0\r\nHost: {HOST}\r\n".encode()
        if meta:
            self.request += b"Icy-MetaData: 1\r\n"
        self.request += b"User-Agent: tunora-http-load\r\n\r\n"
        self.head = b""
        self.head_done = asyncio.get_running_loop().create_future()
        self.status = None
        self.metaint = 0
        self.audio = 0          # audio bytes received so far
        self.meta_blocks = 0    # non-empty metadata blocks seen
        self.meta_seen = 0      # metadata length bytes seen (empty blocks included)
        self.meta_bad = 0       # non-empty blocks that are not "StreamTitle='...';"
        self.title = None
        self.closed_at = None
        self.last_at = None     # monotonic time of the last body bytes received
        self.sink = None        # optional file object for record mode
        self._left = 0          # audio bytes until the next metadata length byte
        self._meta_left = -1    # -1: in audio; otherwise metadata bytes still to skip
        self._meta = b""
        self.transport = None

    def connection_made(self, transport):
        self.transport = transport
        transport.write(self.request)

    def data_received(self, data):
        if not self.head_done.done():
            self.head += data
            end = self.head.find(b"\r\n\r\n")
            if end < 0:
                if len(self.head) > 16384:
                    self.head_done.set_exception(ValueError("response head too long"))
                    self.transport.close()
                return
            head, data = self.head[:end].decode("latin-1"), self.head[end + 4:]
            lines = head.split("\r\n")
            self.status = lines[0]
            for line in lines[1:]:
                name, _, value = line.partition(":")
                if name.strip().lower() == "icy-metaint":
                    self.metaint = int(value.strip())
            self._left = self.metaint
            self.head_done.set_result(self.status)
        self._body(data)

    def _body(self, data):
        if data:
            self.last_at = time.monotonic()
        if self.sink is not None:
            self.sink.write(data)
        if not self.metaint:
            self.audio += len(data)
            return
        i, n = 0, len(data)
        while i < n:
            if self._meta_left == -1:
                take = min(self._left, n - i)
                self.audio += take
                self._left -= take
                i += take
                if self._left == 0:
                    self._meta_left = -2  # next byte is the length byte
            elif self._meta_left == -2:
                self._meta_left = data[i] * 16
                self.meta_seen += 1
                i += 1
                if self._meta_left == 0:
                    self._meta_left, self._left = -1, self.metaint
            else:
                take = min(self._meta_left, n - i)
                self._meta += data[i:i + take]
                self._meta_left -= take
                i += take
                if self._meta_left == 0:
                    self.meta_blocks += 1
                    text = self._meta.rstrip(b"\0").decode("latin-1", "replace")
                    if not text.startswith("StreamTitle='") or not text.endswith(";"):
                        self.meta_bad += 1
                    if "StreamTitle='" in text:
                        self.title = text.split("StreamTitle='", 1)[1].split("';", 1)[0]
                    self._meta = b""
                    self._meta_left, self._left = -1, self.metaint

    def connection_lost(self, exc):
        self.closed_at = time.monotonic()
        if not self.head_done.done():
            self.head_done.set_exception(ConnectionError("closed before the response head"))


class Idle(asyncio.Protocol):
    """A connection that sends nothing; notes when the server closes it."""

    def __init__(self):
        self.closed_at = None
        self.transport = None

    def connection_made(self, transport):
        self.transport = transport

    def data_received(self, data):
        pass

    def connection_lost(self, exc):
        self.closed_at = time.monotonic()


class Stalled(Listener):
    """A listener that sends its request and never reads: its socket fills up."""

    def connection_made(self, transport):
        super().connection_made(transport)
        transport.pause_reading()

    def connection_lost(self, exc):
        super().connection_lost(exc)
        # A stalled listener never reads its head; the server closing it is expected.
        if self.head_done.done() and not self.head_done.cancelled():
            self.head_done.exception()


async def open_stalled(loop, path, port, count):
    """Stalled listeners on sockets with a small receive buffer, so the server's fills soon."""
    protos = []
    for _ in range(count):
        sock = socket.socket()
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
        sock.setblocking(False)
        try:
            await asyncio.wait_for(loop.sock_connect(sock, (HOST, port)), 5)
            _, proto = await loop.create_connection(lambda: Stalled(path, meta=True), sock=sock)
            protos.append(proto)
        except (OSError, asyncio.TimeoutError):
            sock.close()
    return protos


async def reset_storm(port, path, per_second, until):
    """Stream requests cut off with a TCP reset, some at once, some after the response head."""
    count = 0
    lingering = struct.pack("ii", 1, 0)

    async def one(delay):
        nonlocal count
        try:
            reader, writer = await asyncio.wait_for(asyncio.open_connection(HOST, port), 2)
            writer.write(f"GET {path} HTTP/1.0\r\nIcy-MetaData: 1\r\n\r\n".encode())
            await asyncio.sleep(delay)
            writer.get_extra_info("socket").setsockopt(socket.SOL_SOCKET, socket.SO_LINGER,
                                                         lingering)
            writer.transport.abort()
            count += 1
        except (OSError, asyncio.TimeoutError):
            pass

    tasks = []
    i = 0
    while time.monotonic() < until:
        tasks.append(asyncio.ensure_future(one((i % 4) * 0.6)))
        i += 1
        await asyncio.sleep(1 / per_second)
    await asyncio.gather(*tasks)
    return count


async def connect(loop, factory, port, timeout):
    _, proto = await asyncio.wait_for(loop.create_connection(factory, HOST, port), timeout)
    return proto


async def record(args):
    loop = asyncio.get_running_loop()
    proto = await connect(loop, lambda: Listener(args.path, meta=False), args.port, 5)
    await asyncio.wait_for(proto.head_done, 10)
    with open(args.out, "wb") as sink:
        # The body bytes already parsed with the head are counted in proto.audio.
        proto.sink = sink
        await asyncio.sleep(args.seconds)
        proto.sink = None
        proto.transport.close()
    size = os.path.getsize(args.out)
    print(f"recorded {size} bytes in {args.seconds} s after the response head, head:"
          f" {proto.status}")
    if size < args.seconds * 8000:
        sys.exit("too few bytes recorded")


async def open_many(loop, factory, port, count, parallel, deadline):
    """Opens `count` connections, at most `parallel` at a time; returns the protocols of those
    that connected and the number of failures."""
    gate = asyncio.Semaphore(parallel)
    protos, failures = [], 0

    async def one():
        nonlocal failures
        async with gate:
            left = deadline - time.monotonic()
            try:
                protos.append(await connect(loop, factory, port, max(0.1, min(5, left))))
            except (OSError, asyncio.TimeoutError):
                failures += 1

    await asyncio.gather(*(one() for _ in range(count)))
    return protos, failures


async def load(args):
    loop = asyncio.get_running_loop()
    out = {"server": args.label, "listeners": args.listeners, "idle": args.idle,
           "seconds": args.seconds, "expect_bps": args.expect_bps}
    t_start = time.monotonic()

    # Baseline: the server's own cost with its stream running and nobody listening, once its
    # start-up is over.
    await asyncio.sleep(args.warmup)
    c0 = proc_cpu_seconds(args.pid)
    await asyncio.sleep(args.baseline)
    out["base_cpu_pct"] = (proc_cpu_seconds(args.pid) - c0) / args.baseline * 100
    out["base_rss_mb"] = proc_rss_kb(args.pid) / 1024

    idle, idle_fail = await open_many(loop, Idle, args.port, args.idle, 50,
                                      time.monotonic() + 20)
    t_idle = time.monotonic()
    log(f"{args.label}: {len(idle)} idle connections open ({idle_fail} failed)")
    listeners, conn_fail = await open_many(
        loop, lambda: Listener(args.path, meta=True), args.port, args.listeners, 50,
        time.monotonic() + 30)
    heads = await asyncio.gather(*(asyncio.wait_for(asyncio.shield(p.head_done), 15)
                                   for p in listeners), return_exceptions=True)
    good_heads = [p for p, h in zip(listeners, heads) if not isinstance(h, BaseException)]
    log(f"{args.label}: {len(good_heads)} listeners streaming ({conn_fail} connects failed,"
        f" {len(listeners) - len(good_heads)} without a response head)")
    out["connect_failures"] = conn_fail + (len(listeners) - len(good_heads))
    out["idle_connect_failures"] = idle_fail
    out["ramp_s"] = time.monotonic() - t_idle
    out["status"] = sorted({h for h in heads if isinstance(h, str)})
    stalled = await open_stalled(loop, args.path, args.port, args.stalled)
    # Let the connect bursts (icecast sends a burst on connect) settle before measuring.
    await asyncio.sleep(args.settle)
    rss_loaded = proc_rss_kb(args.pid)

    # Measurement window.
    t0 = time.monotonic()
    start_bytes = {id(p): (p.audio, p.last_at or t0) for p in listeners}
    cpu0 = proc_cpu_seconds(args.pid)
    peak_rss = proc_rss_kb(args.pid)
    storm = (asyncio.ensure_future(reset_storm(args.port, args.path, args.resets,
                                               t0 + args.seconds - 2))
             if args.resets > 0 else None)
    while True:
        now = time.monotonic()
        if now - t0 >= args.seconds:
            break
        await asyncio.sleep(min(0.5, args.seconds - (now - t0)))
        peak_rss = max(peak_rss, proc_rss_kb(args.pid))
    t1 = time.monotonic()
    cpu1 = proc_cpu_seconds(args.pid)
    window = t1 - t0
    resets = await storm if storm else 0

    expected = args.expect_bps * window
    rates, ok = [], 0
    for p in listeners:
        # A server that sends in batches delivers a whole number of them in the window: the
        # rate is the bytes received after the last batch before t0, over the time between
        # that batch and the last one before t1, so batching neither helps nor hurts.
        bytes0, seen0 = start_bytes[id(p)]
        got = p.audio - bytes0
        span = (p.last_at or seen0) - seen0
        rates.append(got / span if span >= window / 2 else got / window)
        alive = p.closed_at is None and p.status is not None
        if alive and got >= 0.9 * expected:
            ok += 1
    missing = args.listeners - len(listeners)
    rates += [0.0] * missing
    out.update({
        "window_s": window,
        "listeners_ok": ok,
        "listeners_dropped": sum(1 for p in listeners if p.closed_at is not None),
        "mean_kBps": sum(rates) / len(rates) / 1000 if rates else 0.0,
        "min_kBps": min(rates) / 1000 if rates else 0.0,
        "max_kBps": max(rates) / 1000 if rates else 0.0,
        "cpu_pct": (cpu1 - cpu0) / window * 100,
        "cpu_pct_per_100": (cpu1 - cpu0) / window * 100 / (args.listeners / 100),
        "net_cpu_pct": (cpu1 - cpu0) / window * 100 - out["base_cpu_pct"],
        "peak_rss_mb": peak_rss / 1024,
        "rss_growth_kb_per_listener":
            (rss_loaded - out["base_rss_mb"] * 1024) / max(1, args.listeners),
        "meta_exact": all(p.meta_bad == 0 and p.metaint and
                          p.audio // p.metaint - p.meta_seen in (0, 1) for p in listeners),
        "stalled": args.stalled,
        "stalled_open": sum(1 for p in stalled if p.closed_at is None),
        "resets": resets,
        "pair": args.pair,
        "idle_open_at_end": sum(1 for p in idle if p.closed_at is None),
        "idle_first_closed_after_s": (min(p.closed_at for p in idle if p.closed_at) - t_idle)
        if any(p.closed_at for p in idle) else None,
        "meta_blocks_per_listener": (sum(p.meta_blocks for p in listeners) / len(listeners))
        if listeners else 0,
        "a_title": next((p.title for p in listeners if p.title), None),
        "total_s": t1 - t_start,
    })
    for p in listeners:
        if p.transport:
            p.transport.abort()
    for p in idle + stalled:
        if p.transport:
            p.transport.abort()
    with open(args.out, "w") as f:
        json.dump(out, f, indent=1)
    print(f"{args.label}: {ok}/{args.listeners} listeners OK, mean {out['mean_kBps']:.2f} kB/s,"
          f" min {out['min_kBps']:.2f} kB/s, CPU {out['cpu_pct']:.1f} %,"
          f" {out['rss_growth_kb_per_listener']:.1f} kB RSS per listener,"
          f" metadata exact {out['meta_exact']}, {resets} resets,"
          f" peak RSS {out['peak_rss_mb']:.1f} MB, idle still open {out['idle_open_at_end']}"
          f"/{args.idle}" + (f" (server closed the first after {closed:.1f} s)"
                             if (closed := out["idle_first_closed_after_s"]) else ""))


def report(args):
    runs = []
    for name in args.files:
        with open(name) as f:
            runs.append(json.load(f))
    # A load is its listeners, idle connections and whether it ran the stall + reset storm.
    def load_of(r):
        return r["listeners"], r["idle"], bool(r["stalled"] or r["resets"])

    loads = sorted({load_of(r) for r in runs}, key=lambda k: (k[2], -k[0], -k[1]))
    servers = sorted({r["server"] for r in runs}, key=lambda s: s != "tunora")
    med = statistics.median
    print()
    print(f"{'server':<9} {'load':>16} {'runs':>4} {'CPU %':>6} {'net CPU %':>9}"
          f" {'RSS kB/lst':>10} {'min kB/s':>8} {'dropped':>7} {'meta exact':>10}"
          f" {'stalled':>7} {'resets':>6}")
    ok = {server: True for server in servers}
    for key in loads:
        listeners, idle, storm = key
        for server in servers:
            rs = [r for r in runs if r["server"] == server and load_of(r) == key]
            if not rs:
                continue
            load = f"{listeners}+{idle} idle" + (" +storm" if storm else "")
            exact = all(r["meta_exact"] for r in rs)
            dropped = max(r["listeners_dropped"] for r in rs)
            slowest = med([r["min_kBps"] for r in rs])
            ok[server] = (ok[server] and exact and dropped == 0 and
                          min(r["min_kBps"] for r in rs) >= 15.9)
            print(f"{server:<9} {load:>16} {len(rs):>4} {med([r['cpu_pct'] for r in rs]):>6.2f}"
                  f" {med([r['net_cpu_pct'] for r in rs]):>9.2f}"
                  f" {med([r['rss_growth_kb_per_listener'] for r in rs]):>10.1f}"
                  f" {slowest:>8.2f} {dropped:>7} {str(exact):>10}"
                  f" {max(r['stalled'] for r in rs):>7} {med([r['resets'] for r in rs]):>6}")
        if len(servers) == 2:
            a, b = servers
            ratios = {"cpu": [], "net": [], "rss": []}
            for ra in runs:
                if ra["server"] != a or load_of(ra) != key:
                    continue
                for rb in runs:
                    if rb["server"] == b and load_of(rb) == key and rb["pair"] == ra["pair"]:
                        ratios["cpu"].append(ra["cpu_pct"] / max(rb["cpu_pct"], 1e-9))
                        ratios["net"].append(ra["net_cpu_pct"] / max(rb["net_cpu_pct"], 1e-9))
                        ratios["rss"].append(ra["rss_growth_kb_per_listener"] /
                                             max(rb["rss_growth_kb_per_listener"], 1e-9))
            if ratios["cpu"]:
                print(f"{'':<9} {'ratio ' + a + '/' + b:>16} {len(ratios['cpu']):>4}"
                      f" {med(ratios['cpu']):>5.2f}x {med(ratios['net']):>8.2f}x"
                      f" {med(ratios['rss']):>9.2f}x")
    print("(medians over the runs; ratios: median of the per-pair ratios. kB = 1000 bytes of audio;"
          " CPU = utime+stime of the server process over the 30 s window; net CPU = that minus the"
          " server's own cost with its stream running and nobody connected; RSS kB/lst = (RSS"
          " loaded - RSS with nobody connected) / listeners; min kB/s = the slowest normal"
          " listener; stalled listeners never read and are not counted in min kB/s; '+storm': one"
          " stalled listener and 20 reset stream requests a second, where min kB/s is the"
          " figure)")
    # The verdict is on the server under test; a baseline that lost listeners is said too, as
    # its figures are then less telling.
    for server in servers:
        verdict = "every listener OK, metadata exact" if ok[server] else "SOME LISTENERS FAILED"
        print(f"RESULT {server}:", verdict)
    return 0 if ok[servers[0]] else 1


def main():
    ap = argparse.ArgumentParser()
    sub = ap.add_subparsers(dest="cmd", required=True)
    r = sub.add_parser("record")
    r.add_argument("--port", type=int, required=True)
    r.add_argument("--path", required=True)
    r.add_argument("--seconds", type=float, default=20)
    r.add_argument("--out", required=True)
    lo = sub.add_parser("load")
    lo.add_argument("--port", type=int, required=True)
    lo.add_argument("--path", required=True)
    lo.add_argument("--pid", type=int, required=True)
    lo.add_argument("--label", required=True)
    lo.add_argument("--out", required=True)
    lo.add_argument("--listeners", type=int, default=500)
    lo.add_argument("--idle", type=int, default=200)
    lo.add_argument("--seconds", type=float, default=30)
    lo.add_argument("--warmup", type=float, default=5)
    lo.add_argument("--baseline", type=float, default=5)
    lo.add_argument("--settle", type=float, default=3)
    lo.add_argument("--expect-bps", type=float, default=16000)
    lo.add_argument("--stalled", type=int, default=0)
    lo.add_argument("--resets", type=float, default=0, help="reset-storm connections a second")
    lo.add_argument("--pair", type=int, default=1)
    rep = sub.add_parser("report")
    rep.add_argument("files", nargs="+")
    args = ap.parse_args()
    if args.cmd == "record":
        asyncio.run(record(args))
    elif args.cmd == "load":
        for n in (args.listeners, args.idle):
            if not 0 <= n <= 2000:
                sys.exit("counts are bounded to 0..2000")
        asyncio.run(load(args))
    else:
        sys.exit(report(args))


if __name__ == "__main__":
    main()
