"""The host's side of the machine: QEMU with its console and its machine
protocol (QMP), and the simulated instruments on the lines."""
import collections
import json
import os
import re
import select
import shutil
import socket
import subprocess
import tempfile
import time

from common import StepFailed

CONSOLE_TAIL = 30


class Qmp:
    """QEMU's machine protocol on a unix socket: commands and their answers."""

    def __init__(self, path, process, deadline):
        while not os.path.exists(path):
            if process.poll() is not None:
                raise StepFailed("qemu", f"QEMU ended at its start (exit {process.returncode})")
            if time.monotonic() > deadline:
                raise StepFailed("qemu", "no QMP socket appeared")
            time.sleep(0.02)
        self.sock = socket.socket(socket.AF_UNIX)
        self.sock.settimeout(10)
        try:
            self.sock.connect(path)
            self.file = self.sock.makefile("rw")
            self.file.readline()  # the greeting
        except OSError as e:
            raise StepFailed("qemu", f"QMP: {e}")
        self.command("qmp_capabilities")

    def command(self, name, **arguments):
        message = {"execute": name, **({"arguments": arguments} if arguments else {})}
        try:
            self.file.write(json.dumps(message) + "\n")
            self.file.flush()
            while True:
                line = self.file.readline()
                if not line:
                    raise StepFailed("qemu", f"QMP closed during {name}")
                answer = json.loads(line)
                if "error" in answer:
                    raise StepFailed("qemu", f"QMP {name}: {answer['error'].get('desc')}")
                if "return" in answer:
                    return answer["return"]
                # anything else is an event: not needed here
        except (OSError, ValueError) as e:
            raise StepFailed("qemu", f"QMP {name}: {e}")

    def close(self):
        self.sock.close()


class Simulator:
    """orbel-sim serving one terminal (or a pseudo-terminal of its own)."""

    def __init__(self, bin_dir, args, log):
        self.process = subprocess.Popen([os.path.join(bin_dir, "orbel-sim"), *args, "--log", log],
                                        stdout=subprocess.PIPE, text=True)
        ready, _, _ = select.select([self.process.stdout], [], [], 5)
        self.device = self.process.stdout.readline().strip() if ready else ""
        if not self.device:
            self.stop()
            raise StepFailed("simulator", f"orbel-sim {' '.join(args)} printed no device")

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


def figure_line(line, figures):
    found = re.search(r"@@ figure (.+) (\S+)$", line)
    if found:
        figures[found.group(1)] = float(found.group(2))


def host_line_figure(bin_dir, work, figures):
    """The same signature exchanges on a pseudo-terminal of the host, for comparison."""
    sim = Simulator(bin_dir, ["--no-drift"], os.path.join(work, "sim-host.log"))
    try:
        result = subprocess.run([os.path.join(bin_dir, "orbel-driver-tests"),
                                 "--gtest_filter=Line.*:Worker.*", "--gtest_color=no"],
                                capture_output=True, text=True, timeout=30,
                                env={**os.environ, "ORBEL_GUEST_LINE": sim.device})
    except subprocess.TimeoutExpired:
        raise StepFailed("host line", "the exchange on the host's pseudo-terminal hung")
    finally:
        sim.stop()
    if result.returncode != 0:
        raise StepFailed("host line", result.stdout[-1500:])
    for line in result.stdout.splitlines():
        figure_line(line.replace(sim.device, "pty"), figures)


class Machine:
    """The QEMU process, its console, and what the guest reports on it."""

    def __init__(self, kernel, initramfs, work):
        self.work = work
        self.tail = collections.deque(maxlen=CONSOLE_TAIL)
        self.buffer = b""
        # A socket's path has at most 107 bytes: not in a deep build folder.
        self.qmp_dir = tempfile.mkdtemp(prefix="orbel-qmp-")
        self.qmp_path = os.path.join(self.qmp_dir, "qmp.sock")
        image = os.path.join(kernel, "vmlinux")
        if not os.path.exists(image):
            image = os.path.join(kernel, "vmlinuz")
        self.console_log = open(os.path.join(work, "console.log"), "wb")
        self.process = subprocess.Popen(
            ["qemu-system-x86_64", "-accel", "tcg", "-m", "256", "-nodefaults", "-display", "none",
             "-no-reboot", "-S", "-kernel", image, "-initrd", initramfs,
             "-append", "console=ttyS0 quiet panic=-1",
             "-serial", "stdio", "-serial", "pty",
             "-usb", "-chardev", "pty,id=u1", "-device", "usb-serial,chardev=u1,id=us1",
             "-qmp", f"unix:{self.qmp_path},server=on,wait=off"],
            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)

    def lines(self, limit):
        """Console lines until the machine ends. `limit` gives the deadline of
        the step under way and its name; StepFailed when it passes."""
        stream = self.process.stdout
        while True:
            deadline, step = limit()
            left = deadline - time.monotonic()
            if left <= 0:
                raise StepFailed(step, "not done within its time limit")
            ready, _, _ = select.select([stream], [], [], min(left, 1.0))
            if not ready:
                continue
            chunk = os.read(stream.fileno(), 65536)
            if not chunk:
                if self.buffer:
                    yield self.emit(self.buffer)
                return
            self.console_log.write(chunk)
            self.buffer += chunk
            while b"\n" in self.buffer:
                line, self.buffer = self.buffer.split(b"\n", 1)
                yield self.emit(line)

    def emit(self, raw):
        line = raw.decode(errors="replace").rstrip("\r")
        self.tail.append(line)
        print("  guest| " + line, flush=True)
        return line

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
        self.process.wait()
        self.console_log.close()
        shutil.rmtree(self.qmp_dir, ignore_errors=True)
