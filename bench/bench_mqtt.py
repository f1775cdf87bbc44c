#!/usr/bin/python3
"""orbel-gateway publishing to MQTT, measured in one run against Debian's
mosquitto on a loopback port and orbel-sim on a pseudo-terminal.

Usage: bench_mqtt.py ORBEL_GATEWAY ORBEL_SIM MOSQUITTO [SOAK_SECONDS [CLIENTS]]

1. Load (30 s): polls every 100 ms, CLIENTS (default 50) Modbus clients reading
   the whole map in a loop, mosquitto_sub receiving the readings. It prints
   the latency from the instrument's reply (the gateway's exchange trace) to
   the subscriber's receipt, median and p99, and the poll period held (the
   readings requests' starts in the trace) beside the period asked for.
2. Soak (SOAK_SECONDS, default 30; 600 for the figures of record): the
   default period of 1300 ms with the broker and a subscriber, and the
   gateway's processor time and resident memory over it.
Times in the trace and the subscriber's are the wall clock's, in ms.
"""
import datetime
import os
import signal
import socket
import statistics
import struct
import subprocess
import sys
import tempfile
import threading
import time

GATEWAY, SIM, MOSQUITTO = sys.argv[1:4]
SOAK = float(sys.argv[4]) if len(sys.argv) > 4 else 30.0
CLIENTS = int(sys.argv[5]) if len(sys.argv) > 5 else 50
PREFIX = "bench/tank"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_listening(port, timeout=5.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            socket.create_connection(("127.0.0.1", port), 0.2).close()
            return
        except OSError:
            time.sleep(0.05)
    raise RuntimeError(f"nothing listens on {port}")


class Setup:
    """Broker, instrument, gateway and subscriber; stopped in reverse."""

    def __init__(self, tmp, name, every, modbus_port=None):
        self.procs = []
        self.broker_port = free_port()
        conf = os.path.join(tmp, name + ".conf")
        with open(conf, "w") as f:
            f.write(f"listener {self.broker_port} 127.0.0.1\nallow_anonymous true\n"
                    "persistence false\n")
        self._start([MOSQUITTO, "-c", conf], stdout=subprocess.DEVNULL,
                    stderr=subprocess.DEVNULL)
        wait_listening(self.broker_port)
        link = os.path.join(tmp, name + ".pty")
        sim = self._start([SIM, "--link", link], stdout=subprocess.PIPE)
        sim.stdout.readline()
        self.received = os.path.join(tmp, name + ".received")
        self._start(["mosquitto_sub", "-p", str(self.broker_port), "-t", PREFIX + "/readings",
                     "-F", "%U %p"], stdout=open(self.received, "w"))
        self.trace = os.path.join(tmp, name + ".trace")
        self.modbus_port = modbus_port or free_port()
        self.gateway = self._start(
            [GATEWAY, "--port", link, "--listen", f"127.0.0.1:{self.modbus_port}",
             "--every", str(every), "--max-clients", str(CLIENTS + 4), "--trace", self.trace, "--mqtt",
             f"127.0.0.1:{self.broker_port}", "--mqtt-prefix", PREFIX],
            env={**os.environ, "TZ": "UTC"}, stderr=subprocess.DEVNULL)
        wait_listening(self.modbus_port)

    def _start(self, args, **kw):
        proc = subprocess.Popen(args, **kw)
        self.procs.append(proc)
        return proc

    def stop(self):
        for proc in reversed(self.procs):
            proc.send_signal(signal.SIGTERM)
            proc.wait(5)


def trace_times(path):
    """(requests' starts, replies' times) of the readings, in seconds since the epoch."""
    starts, replies = [], []
    with open(path) as f:
        for line in f:
            parts = line.split()
            if len(parts) < 5:
                continue
            when = datetime.datetime.strptime(parts[0] + " " + parts[1], "%Y-%m-%d %H:%M:%S.%f")
            stamp = when.replace(tzinfo=datetime.timezone.utc).timestamp()
            if parts[2] == "TX" and parts[4] == "02":
                starts.append(stamp)
            elif parts[2] == "RX" and parts[4] == "02":
                replies.append(stamp)
    return starts, replies


def received_times(path):
    with open(path) as f:
        return [float(line.split()[0]) for line in f if line.strip()]


def percentile(values, p):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(p / 100 * len(ordered)))]


def modbus_client(port, stop, counts, failures):
    """Reads the whole map in a loop; a reply missing for 2 s or a closed
    connection counts as a failure, and the client connects again."""
    done = 0
    while not stop.is_set():
        try:
            with socket.create_connection(("127.0.0.1", port)) as s:
                s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
                s.settimeout(2)
                while not stop.is_set():
                    s.sendall(struct.pack(">HHHBBHH", done & 0xFFFF, 0, 6, 1, 4, 0, 18))
                    need, got = 9 + 36, b""
                    while len(got) < need:
                        chunk = s.recv(need - len(got))
                        if not chunk:
                            raise ConnectionError("closed by the gateway")
                        got += chunk
                    done += 1
        except OSError as e:
            if not stop.is_set():
                failures.append(type(e).__name__)
    counts.append(done)


def load(tmp):
    every = 100
    setup = Setup(tmp, "load", every)
    stop, counts, failures = threading.Event(), [], []
    time.sleep(1)
    clients = [threading.Thread(target=modbus_client,
                                args=(setup.modbus_port, stop, counts, failures))
               for _ in range(CLIENTS)]
    began = time.time()
    for c in clients:
        c.start()
    time.sleep(30)
    stop.set()
    ended = time.time()
    for c in clients:
        c.join(5)
    time.sleep(0.5)
    setup.stop()
    starts, replies = trace_times(setup.trace)
    received = received_times(setup.received)
    latencies = []
    for r in received:
        before = [x for x in replies if x <= r + 0.0005]  # both sides in whole ms
        if before:
            latencies.append(max(0.0, r - before[-1]) * 1000)
    during = [b - a for a, b in zip(starts, starts[1:]) if began <= a and b <= ended]
    print(f"load: {CLIENTS} Modbus clients, {sum(counts) / (ended - began):,.0f} requests/s "
          f"over {ended - began:.1f} s; {len(failures)} requests unanswered or refused "
          f"({', '.join(sorted(set(failures))) or 'none'}), each followed by a new connection")
    print(f"reply to subscriber: {len(latencies)} readings, median "
          f"{statistics.median(latencies):.1f} ms, p99 {percentile(latencies, 99):.1f} ms "
          "(1 ms resolution)")
    print(f"poll period during the load: asked {every} ms, held median "
          f"{statistics.median(during) * 1000:.0f} ms, {min(during) * 1000:.0f}.."
          f"{max(during) * 1000:.0f} ms over {len(during)} periods "
          f"(ratio held/asked {statistics.median(during) * 1000 / every:.3f})")


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def soak(tmp):
    setup = Setup(tmp, "soak", 1300)
    pid = setup.gateway.pid
    time.sleep(2)
    cpu0, wall0, rss0 = cpu_seconds(pid), time.monotonic(), rss_kib(pid)
    peak = rss0
    while time.monotonic() - wall0 < SOAK:
        time.sleep(min(1.0, SOAK))
        peak = max(peak, rss_kib(pid))
    cpu1, wall1, rss1 = cpu_seconds(pid), time.monotonic(), rss_kib(pid)
    setup.stop()
    published = len(received_times(setup.received))
    print(f"soak: {wall1 - wall0:.0f} s polling every 1300 ms, {published} readings received")
    print(f"gateway CPU: {cpu1 - cpu0:.2f} s, {100 * (cpu1 - cpu0) / (wall1 - wall0):.3f} % "
          "of one processor")
    print(f"gateway RSS: {rss0:,} KiB at the start, {rss1:,} KiB at the end, peak {peak:,} KiB")


def main():
    with tempfile.TemporaryDirectory() as tmp:
        load(tmp)
        soak(tmp)


if __name__ == "__main__":
    main()
