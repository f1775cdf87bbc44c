#!/usr/bin/python3
"""orbel-gateway as a program, behind it orbel-sim on a pseudo-terminal, in
front of it Modbus clients nobody here wrote (mbpoll, pymodbus) and a raw
socket sending what no client should.

Usage: gateway_program_test.py ORBEL_GATEWAY ORBEL_SIM MBPOLL
Prints one line per failed check and "N passed, N failed" at the end.
"""
import os
import re
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time

from pymodbus.client import ModbusTcpClient

from gateway_checks import check, summary, wait_for

GATEWAY, SIM, MBPOLL = sys.argv[1:4]


class Sim:
    def __init__(self, link, *args):
        self.proc = subprocess.Popen([SIM, "--link", link, *args], stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, text=True)
        self.proc.stdout.readline()  # the device path: it is listening

    def stop(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
        self.proc.wait(5)


class Gateway:
    def __init__(self, port, *args, preexec_fn=None):
        self.proc = subprocess.Popen([GATEWAY, "--port", port, "--listen", "127.0.0.1:0", *args],
                                     stderr=subprocess.PIPE, text=True, preexec_fn=preexec_fn)
        self.lines = []
        first = self.proc.stderr.readline()
        self.lines.append(first.rstrip("\n"))
        self.port = int(re.search(r":(\d+)$", first.strip()).group(1))
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for line in self.proc.stderr:
            self.lines.append(line.rstrip("\n"))

    def said(self, text):
        return sum(text in line for line in self.lines)

    def client(self):
        c = ModbusTcpClient("127.0.0.1", port=self.port, timeout=1, retries=0)  # whole seconds only
        c.connect()
        return c

    def stop(self):
        self.proc.send_signal(signal.SIGTERM)
        code = self.proc.wait(5)
        self.reader.join(5)
        return code


def mbpoll(gateway, *args, writes=()):
    run = subprocess.run([MBPOLL, "-m", "tcp", "-p", str(gateway.port), "-1", "-0", "-o", "0.5",
                          *args, "127.0.0.1", *writes], capture_output=True, text=True,
                         timeout=10)
    return run.stdout + run.stderr


def mbpoll_values(output):
    return [int(v) for _, v in re.findall(r"^\[(\d+)\]:\s+(-?\d+)", output, re.M)]


def exception_of(response):
    return getattr(response, "exception_code", None)


def registers(client, address, count):
    """The registers read, or None for an exception or no answer."""
    response = client.read_input_registers(address, count, slave=1)
    return None if response.isError() else response.registers


def raw_request(unit, function, address, count, tid=1, protocol=0):
    return struct.pack(">HHHBBHH", tid, protocol, 6, unit, function, address, count)


def closed_by_server(sock, timeout=3.0):
    sock.settimeout(timeout)
    try:
        while sock.recv(4096):
            pass
        return True
    except ConnectionResetError:
        return True
    except socket.timeout:
        return False


SIGNATURE = [1, 1, 42, 1, 3]
COEFFS = [50, 900, 50, 900]


def test_clients(tmp):
    link = os.path.join(tmp, "com-clients")
    sim = Sim(link, "--readings", "625,580,340,295", "--status", "2")
    gw = Gateway(link, "--every", "100")
    try:
        c = gw.client()
        check("readings come", wait_for(lambda: not c.read_input_registers(0, 1, slave=1).isError()))
        out = mbpoll(gw, "-t", "4", "-r", "0", "-c", "18")
        values = mbpoll_values(out)
        # Channel 2 has no signal (status 2): its level and volume hold no value.
        check("mbpoll holding map", len(values) == 18
              and values[:5] == [2, 625, 580, 0x8000, 0x8000]
              and values[5] == 0b1101 and values[9:] == SIGNATURE + COEFFS, out)
        values = mbpoll_values(mbpoll(gw, "-t", "3", "-r", "0", "-c", "18"))
        check("mbpoll input map", values[9:] == SIGNATURE + COEFFS, values)
        values = mbpoll_values(mbpoll(gw, "-t", "1", "-r", "0", "-c", "4"))
        check("mbpoll discrete inputs", values == [1, 0, 1, 1], values)
        for args, writes in ((["-t", "4", "-r", "3"], ["1"]), (["-t", "4", "-r", "3"], ["1", "2"]),
                             (["-t", "0", "-r", "0"], ["1"]), (["-t", "0", "-r", "0"], ["1", "0"])):
            out = mbpoll(gw, *args, writes=writes)
            check("mbpoll write refused " + " ".join(args + writes), "Illegal function" in out, out)
        for args in (["-t", "3", "-r", "0", "-c", "19"], ["-t", "4", "-r", "17", "-c", "2"],
                     ["-t", "1", "-r", "0", "-c", "5"]):
            out = mbpoll(gw, *args)
            check("mbpoll outside " + " ".join(args), "Illegal data address" in out, out)

        holding = c.read_holding_registers(0, 18, slave=1).registers
        check("pymodbus holding equals input",
              holding[9:] == c.read_input_registers(0, 18, slave=1).registers[9:], holding)
        check("pymodbus discrete inputs",
              c.read_discrete_inputs(0, 4, slave=1).bits[:4] == [True, False, True, True])
        writes = [c.write_register(0, 1, slave=1), c.write_registers(14, [1, 2], slave=1),
                  c.write_coil(0, True, slave=1), c.write_coils(0, [True], slave=1),
                  c.mask_write_register(0, 0xFFFF, 0, slave=1),
                  c.readwrite_registers(read_address=0, read_count=1, write_address=0,
                                        write_registers=[1], slave=1)]
        check("pymodbus writes get 01", [exception_of(w) for w in writes] == [1] * 6,
              [exception_of(w) for w in writes])
        check("pymodbus outside gets 02",
              exception_of(c.read_input_registers(17, 2, slave=1)) == 2)
        for unit in (0, 255):
            check(f"unit {unit} answered", not c.read_input_registers(9, 1, slave=unit).isError())
        check("unit 2 unanswered", c.read_input_registers(9, 1, slave=2).isError())
        c.close()
        c = gw.client()  # the dropped request leaves nothing behind on a new connection
        check("answered after another unit", c.read_input_registers(9, 1, slave=1).registers == [1])
        c.close()
    finally:
        check("clean end", gw.stop() == 0 and gw.said("stopped") == 1, gw.lines)
        sim.stop()


def test_malformed(tmp):
    link = os.path.join(tmp, "com-raw")
    sim = Sim(link)
    gw = Gateway(link, "--every", "100", "--max-clients", "4")
    good = gw.client()
    wait_for(lambda: not good.read_input_registers(0, 1, slave=1).isError())

    def answered():
        start = time.monotonic()
        ok = not good.read_input_registers(9, 5, slave=1).isError()
        return ok and time.monotonic() - start < 0.1

    cases = {
        "short header": b"\x00\x01\x00",
        "wrong protocol id": raw_request(1, 4, 0, 1, protocol=1),
        "length beyond the frame": raw_request(1, 4, 0, 1)[:4] + b"\x00\xff" + raw_request(1, 4, 0, 1)[6:],
        "oversized write": struct.pack(">HHHBBHHB", 1, 0, 7 + 250, 1, 16, 0, 125, 250) + bytes(250),
        "garbage": os.urandom(4096),
        "exception bit set": raw_request(1, 0x84, 0, 1),
    }
    try:
        for name, data in cases.items():
            s = socket.create_connection(("127.0.0.1", gw.port))
            s.sendall(data)
            check(f"{name}: others answered", answered())
            check(f"{name}: closed", closed_by_server(s))
            s.close()

        # One byte a second, and a client that asks without ever reading.
        trickle = socket.create_connection(("127.0.0.1", gw.port))
        stuck = socket.create_connection(("127.0.0.1", gw.port))
        stuck.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
        stuck.setblocking(False)
        request = raw_request(1, 4, 0, 18)
        sent = 0
        try:
            while sent < 2_000_000:
                sent += stuck.send(request * 64)
        except BlockingIOError:
            pass
        fine = True
        for byte in request[:3]:
            trickle.send(bytes([byte]))
            fine = fine and all(answered() for _ in range(5))
            time.sleep(0.3)  # the trickle's pace, not a wait for a condition
        check("trickle and stuck: others answered", fine)
        check("trickle: closed", closed_by_server(trickle))
        stuck.setblocking(True)
        check("stuck: closed", closed_by_server(stuck, 10.0))

        # --max-clients 4: good takes one; three more fit, the fifth is refused.
        extra = [socket.create_connection(("127.0.0.1", gw.port)) for _ in range(3)]
        refused = socket.create_connection(("127.0.0.1", gw.port))
        check("beyond --max-clients refused", closed_by_server(refused, 2.0))
        check("within --max-clients served", not closed_by_server(extra[0], 0.3))
        for s in extra + [refused, trickle, stuck]:
            s.close()
    finally:
        good.close()
        check("clean end with a stuck client", gw.stop() == 0)
        sim.stop()


def test_faults(tmp):
    link = os.path.join(tmp, "com-faults")
    sim = Sim(link, "--silent")
    gw = Gateway(link, "--every", "150", "--stale-after", "1000")
    try:
        c = gw.client()
        check("silent: 0B", wait_for(lambda: exception_of(c.read_input_registers(0, 5, slave=1)) == 11))
        check("silent: said once", wait_for(lambda: gw.said("does not answer") == 1)
              and gw.said("does not answer") == 1, gw.lines)
        rest = registers(c, 5, 13)
        check("silent: the rest readable", rest and rest[0] == 0b1000 and rest[3] >= 3, rest)
        sim.stop()
        check("gone: said once", wait_for(lambda: gw.said("lost") + gw.said("cannot open") >= 1))

        sim = Sim(link, "--corrupt-every", "3", "--readings", "100,200,300,400", "--serial", "77",
                  "--hangup-after", "20")
        check("back: readings", wait_for(
            lambda: (registers(c, 0, 5) or [0])[1:] == [100, 200, 300, 400],
            15))
        check("back: signature read again",
              wait_for(lambda: registers(c, 11, 1) == [77]))
        polls = registers(c, 7, 2) or [0, 0]
        check("corrupt: both counted", polls[0] > 0 and polls[1] > 0, polls)
        check("hang-up: said", wait_for(lambda: gw.said("was lost") >= 1, 10), gw.lines)
        sim.stop()
        sim = Sim(link, "--serial", "78")
        check("hang-up and back", wait_for(
            lambda: registers(c, 11, 1) == [78], 15))
        c.close()
        check("one line per change", len(gw.lines) < 14
              and all(a != b for a, b in zip(gw.lines, gw.lines[1:])), gw.lines)
    finally:
        gw.stop()
        sim.stop()


def test_slots_and_reload(tmp):
    link = os.path.join(tmp, "com-slots")
    sim = Sim(link)
    gw = Gateway(link, "--every", "100")
    try:
        idle = [socket.create_connection(("127.0.0.1", gw.port)) for _ in range(16)]
        time.sleep(1.1)  # until they have been idle for a second
        start = time.monotonic()
        c = gw.client()
        check("idle slots: a reader is answered", wait_for(
            lambda: registers(c, 9, 1) == [1], 1.0), time.monotonic() - start)
        check("idle slots: the idlest gave way", closed_by_server(idle[0], 1.0))
        c.close()
        for s in idle:
            s.close()

        pollers = [gw.client() for _ in range(16)]
        deadline = time.monotonic() + 1.5
        while time.monotonic() < deadline:
            for p in pollers:
                p.read_input_registers(9, 1, slave=1)
        newcomer = socket.create_connection(("127.0.0.1", gw.port))
        check("polling slots: the newcomer refused", closed_by_server(newcomer, 2.0))
        check("polling slots: kept", all(registers(p, 9, 1) == [1] for p in pollers))
        for p in pollers + [newcomer]:
            p.close()

        gw.proc.send_signal(signal.SIGHUP)
        check("SIGHUP: reopened", wait_for(lambda: gw.said(" is open") == 2), gw.lines)
        c = gw.client()
        check("SIGHUP: still serving", wait_for(lambda: registers(c, 9, 5) == SIGNATURE))
        c.close()
    finally:
        check("SIGHUP: a clean end after", gw.stop() == 0 and gw.said("stopped") == 1, gw.lines)
        sim.stop()


def cpu_seconds(pid):
    fields = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def test_descriptor_limit(tmp):
    import resource
    link = os.path.join(tmp, "com-limit")
    sim = Sim(link)
    gw = Gateway(link, "--every", "100", "--max-clients", "200", preexec_fn=lambda: (
        resource.setrlimit(resource.RLIMIT_NOFILE, (24, 24))))
    sockets = []
    try:
        check("limit: reading", wait_for(lambda: gw.said(" is open") == 1), gw.lines)
        for _ in range(40):
            sockets.append(socket.create_connection(("127.0.0.1", gw.port)))
        check("limit: said", wait_for(lambda: gw.said("too many open files") == 1), gw.lines)
        before = cpu_seconds(gw.proc.pid)
        time.sleep(1.0)  # the span the processor time is measured over
        used = cpu_seconds(gw.proc.pid) - before
        check("limit: no busy loop", used < 0.2, used)
        check("limit: said once", gw.said("too many open files") == 1, gw.lines)
    finally:
        for s in sockets:
            s.close()
        check("limit: a clean end", gw.stop() == 0)
        sim.stop()


def test_refused_at_start(tmp):
    fifo = os.path.join(tmp, "fifo")
    os.mkfifo(fifo)
    cases = [
        (["--port", "/dev/null"], "/dev/null"), (["--port", fifo], fifo), (["--port", tmp], tmp),
        (["--port", ""], "empty"),
        (["--port", "/dev/null", "--listen", "127.0.0.1:65537"], "--listen"),
        (["--port", "/dev/null", "--listen", "127.0.0.1:80000"], "--listen"),
        (["--port", "/dev/null", "--every", "4294967306"], "--every"),
        (["--port", "/dev/null", "--max-clients", "4294967297"], "--max-clients"),
    ]
    for args, named in cases:
        run = subprocess.run([GATEWAY, *args], capture_output=True, text=True, timeout=5)
        check(f"refused {args}", run.returncode == 2 and named in run.stderr
              and "serving" not in run.stderr, run.stderr)


def test_latency_timer(tmp):
    """Behind a USB adapter's 16 ms latency timer replies come split in bursts:
    every poll still succeeds and each value lands in its own registers."""
    link = os.path.join(tmp, "com-latency")
    sim = Sim(link, "--pace", "--latency-timer", "16", "--readings", "100,200,300,400",
              "--serial", "77", "--coeffs", "11,22,33,44")
    gw = Gateway(link, "--every", "100")
    try:
        c = gw.client()
        check("latency: readings", wait_for(
            lambda: (registers(c, 0, 5) or [0])[1:] == [100, 200, 300, 400], 10))
        check("latency: signature", wait_for(lambda: registers(c, 11, 1) == [77]))
        check("latency: coefficients", wait_for(lambda: registers(c, 14, 4) == [11, 22, 33, 44]),
              registers(c, 14, 4))
        first = registers(c, 7, 2) or [0, 0]
        time.sleep(1.5)  # about fifteen polls more
        polls = registers(c, 7, 2) or [0, 0]
        check("latency: no poll failed", polls[1] == 0 and polls[0] >= first[0] + 8, polls)
        c.close()
    finally:
        gw.stop()
        sim.stop()


def main():
    with tempfile.TemporaryDirectory() as tmp:
        for test in (test_clients, test_malformed, test_faults, test_slots_and_reload,
                     test_descriptor_limit, test_refused_at_start, test_latency_timer):
            try:
                test(tmp)
            except Exception as e:  # a crash of one group fails it, the others still run
                check(test.__name__, False, repr(e))
    return summary()


if __name__ == "__main__":
    sys.exit(main())
