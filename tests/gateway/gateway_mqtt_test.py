#!/usr/bin/python3
"""orbel-gateway publishing to Debian's mosquitto broker, started here on a
loopback port, read by paho-mqtt; orbel-sim behind it on a pseudo-terminal,
pymodbus in front of it, orbel-cli on a twin instrument for the JSON keys.

Usage: gateway_mqtt_test.py ORBEL_GATEWAY ORBEL_SIM ORBEL_CLI MOSQUITTO
Prints one line per failed check and "N passed, N failed" at the end.
"""
import json
import os
import pwd
import re
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

import paho.mqtt.client as mqtt
from pymodbus.client import ModbusTcpClient

from gateway_checks import check, summary, wait_for

GATEWAY, SIM, CLI, MOSQUITTO = sys.argv[1:5]
PREFIX = "site/tank"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Broker:
    """mosquitto on a loopback port; `extra` lines go into its configuration."""

    def __init__(self, tmp, name, extra=()):
        self.port = free_port()
        self.conf = os.path.join(tmp, name + ".conf")
        with open(self.conf, "w") as f:
            # Run by root, mosquitto would read the test's files as another user.
            f.write(f"listener {self.port} 127.0.0.1\npersistence false\n"
                    f"user {pwd.getpwuid(os.geteuid()).pw_name}\n")
            f.write("".join(line + "\n" for line in extra))
            if not any(line.startswith("password_file") for line in extra):
                f.write("allow_anonymous true\n")
        self.log = os.path.join(tmp, name + ".log")
        self.start()

    def start(self):
        self.proc = subprocess.Popen([MOSQUITTO, "-c", self.conf, "-v"],
                                     stdout=open(self.log, "a"), stderr=subprocess.STDOUT)
        ok = wait_for(self._listening)
        assert ok, "mosquitto did not start"

    def _listening(self):
        try:
            socket.create_connection(("127.0.0.1", self.port), 0.2).close()
            return True
        except OSError:
            return False

    def stop(self):
        self.proc.terminate()
        self.proc.wait(5)

    def said(self, text):
        with open(self.log) as f:
            return f.read().count(text)


class Subscriber:
    """Every message under the prefix, in order: (topic, payload text, retained)."""

    def __init__(self, broker, tls=None, user=None):
        self.messages = []
        self.lock = threading.Lock()
        self.client = mqtt.Client(clean_session=True)
        if tls:
            self.client.tls_set(ca_certs=tls)
        if user:
            self.client.username_pw_set(*user)
        self.client.on_message = self._take
        self.client.on_connect = lambda c, *_: c.subscribe(PREFIX + "/#", qos=1)
        self.client.connect("127.0.0.1", broker.port)
        self.client.loop_start()

    def _take(self, client, userdata, message):
        with self.lock:
            self.messages.append((message.topic[len(PREFIX) + 1:],
                                  message.payload.decode(), bool(message.retain)))

    def on(self, topic):
        with self.lock:
            return [(p, r) for t, p, r in self.messages if t == topic]

    def last(self, topic):
        found = self.on(topic)
        return found[-1][0] if found else None

    def close(self):
        self.client.loop_stop()
        self.client.disconnect()


class Sim:
    def __init__(self, link, *args):
        self.proc = subprocess.Popen([SIM, "--link", link, *args], stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, text=True)
        self.proc.stdout.readline()

    def stop(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
        self.proc.wait(5)


class Gateway:
    def __init__(self, port, broker_port, *args, env=None, listen="127.0.0.1:0"):
        self.proc = subprocess.Popen(
            [GATEWAY, "--port", port, "--listen", listen, "--every", "200",
             "--mqtt", f"127.0.0.1:{broker_port}", "--mqtt-prefix", PREFIX, *args],
            stderr=subprocess.PIPE, text=True, env={**os.environ, **(env or {})})
        self.lines = []
        self.port = None
        while listen != "none" and self.port is None:
            line = self.proc.stderr.readline()
            assert line, "the gateway ended before it served"
            self.lines.append(line.rstrip("\n"))
            if "serving unit" in line:
                self.port = int(re.search(r":(\d+)$", line.strip()).group(1))
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for line in self.proc.stderr:
            self.lines.append(line.rstrip("\n"))

    def said(self, text):
        return sum(text in line for line in self.lines)

    def modbus(self):
        c = ModbusTcpClient("127.0.0.1", port=self.port, timeout=1, retries=0)
        c.connect()
        return c

    def stop(self, sig=signal.SIGTERM):
        self.proc.send_signal(sig)
        code = self.proc.wait(5)
        self.reader.join(5)
        # A sanitizer build's report goes to standard error as well.
        check("no sanitizer report", not self.said("Sanitizer"), self.lines)
        return code


def registers(client, address, count):
    response = client.read_input_registers(address, count, slave=1)
    return None if response.isError() else response.registers


def cli_json(link, command):
    run = subprocess.run([CLI, "--port", link, "--json", command], capture_output=True,
                         text=True, timeout=10)
    return json.loads(run.stdout)


def test_topics(tmp):
    """Retained topics and readings with the instrument's values, orbel-cli's keys."""
    broker = Broker(tmp, "topics")
    args = ("--readings", "625,580,0,295", "--status", "2", "--serial", "4242")
    sim, twin = Sim(os.path.join(tmp, "a"), *args), Sim(os.path.join(tmp, "twin"), *args)
    gw = Gateway(os.path.join(tmp, "a"), broker.port)
    try:
        check("readings come", wait_for(lambda: broker.said("site/tank/readings") >= 2))
        sub = Subscriber(broker)
        check("readings come", wait_for(lambda: len(sub.on("readings")) >= 2), sub.messages)
        for topic in ("status", "line", "identity", "coefficients"):
            check(f"{topic} retained", [r for _, r in sub.on(topic)] == [True], sub.on(topic))
        check("online", sub.last("status") == "online", sub.last("status"))
        check("line answering",
              json.loads(sub.last("line")) == {"state": "answering", "reason": None},
              sub.last("line"))
        check("readings not retained", not any(r for _, r in sub.on("readings")))
        reading = json.loads(sub.last("readings"))
        cli_reading = cli_json(os.path.join(tmp, "twin"), "readings")
        check("readings: orbel-cli's keys and an age",
              list(reading) == list(cli_reading) + ["age"], (reading, cli_reading))
        del reading["time"], reading["age"], cli_reading["time"]
        check("readings: the instrument's values", reading == cli_reading == {
            "status": 2, "channel1": {"level": 62.5, "volume": 58.0}, "channel2": None},
            (reading, cli_reading))
        for topic, command in (("identity", "signature"), ("coefficients", "coefficients")):
            ours, theirs = sub.last(topic), cli_json(os.path.join(tmp, "twin"), command)
            check(f"{topic} as orbel-cli writes it", json.loads(ours) == theirs
                  and list(json.loads(ours)) == list(theirs), (ours, theirs))
        time_text = json.loads(sub.last("readings"))["time"]
        check("time in UTC", re.fullmatch(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z", time_text),
              time_text)
        sub.close()
        check("clean stop", gw.stop() == 0)
        late = Subscriber(broker)
        check("offline on a clean stop", wait_for(lambda: late.last("status") == "offline"),
              late.messages)
        late.close()
    finally:
        gw.proc.poll() is None and gw.stop()
        sim.stop()
        twin.stop()
        broker.stop()


def test_instrument_silent_then_back(tmp):
    broker = Broker(tmp, "silent")
    link = os.path.join(tmp, "b")
    sim = Sim(link, "--silent")
    gw = Gateway(link, broker.port)
    sub = Subscriber(broker)
    try:
        check("silent: not answering", wait_for(
            lambda: sub.last("line") and json.loads(sub.last("line"))["state"] == "not answering"
            and json.loads(sub.last("line"))["reason"]), sub.messages)
        check("silent: no readings", not sub.on("readings"))
        sim.stop()
        sim = Sim(link, "--serial", "77")
        check("back: answering", wait_for(
            lambda: json.loads(sub.last("line"))["state"] == "answering", 10), sub.messages)
        check("back: identity read", wait_for(
            lambda: sub.last("identity") and json.loads(sub.last("identity"))["serial"] == 77),
            sub.on("identity"))
        check("back: readings", wait_for(lambda: sub.on("readings")))
        check("lost between", any(json.loads(p)["state"] == "lost" for p, _ in sub.on("line")),
              sub.on("line"))
    finally:
        sub.close()
        gw.stop()
        sim.stop()
        broker.stop()


def test_broker_restart_and_will(tmp):
    """Broker stopped and started again: Modbus answers throughout, the gateway
    says so once and publishes again; kill -9 leaves the last will."""
    broker = Broker(tmp, "restart")
    link = os.path.join(tmp, "c")
    sim = Sim(link)
    gw = Gateway(link, broker.port)
    try:
        c = gw.modbus()
        check("restart: first readings", wait_for(lambda: broker.said("site/tank/readings") > 0))
        broker.stop()
        failures, slowest, end = 0, 0.0, time.monotonic() + 3
        while time.monotonic() < end:
            start = time.monotonic()
            failures += registers(c, 0, 4) is None
            slowest = max(slowest, time.monotonic() - start)
            time.sleep(0.05)
        check("restart: Modbus answers while the broker is away", failures == 0
              and slowest < 0.5, (failures, slowest))
        check("restart: said once", wait_for(lambda: gw.said("connection lost") == 1)
              and gw.said("127.0.0.1") <= 3, gw.lines)
        time.sleep(1)
        check("restart: not said again", gw.said("MQTT broker") == 2, gw.lines)
        broker.start()
        sub = Subscriber(broker)
        check("restart: republished", wait_for(
            lambda: all(sub.last(t) for t in ("status", "line", "identity", "coefficients",
                                              "readings")), 10), sub.messages)
        check("restart: Modbus still answers", registers(c, 0, 4) is not None)
        c.close()
        gw.proc.send_signal(signal.SIGKILL)
        gw.proc.wait(5)
        check("last will after kill -9", wait_for(lambda: sub.last("status") == "offline", 10),
              sub.on("status"))
        sub.close()
    finally:
        gw.proc.poll() is None and gw.stop()
        sim.stop()
        broker.stop()


def test_wrong_password(tmp):
    passwords = os.path.join(tmp, "passwords")
    subprocess.run(["mosquitto_passwd", "-b", "-c", passwords, "orbel", "right"], check=True,
                   capture_output=True)
    broker = Broker(tmp, "password", [f"password_file {passwords}", "allow_anonymous false"])
    link = os.path.join(tmp, "d")
    sim = Sim(link)
    gw = Gateway(link, broker.port, "--mqtt-user", "orbel",
                 env={"ORBEL_MQTT_PASSWORD": "wrong"})
    try:
        check("wrong password: said clearly", wait_for(lambda: gw.said("not authorised") == 1),
              gw.lines)
        check("wrong password: retried", wait_for(lambda: broker.said("not authorised") >= 2, 5),
              broker.said("not authorised"))
        check("wrong password: said once", gw.said("not authorised") == 1, gw.lines)
        c = gw.modbus()
        check("wrong password: Modbus answers", registers(c, 0, 4) is not None)
        c.close()
    finally:
        gw.stop()
    password_file = os.path.join(tmp, "password.txt")
    with open(password_file, "w") as f:
        f.write("right\n")
    gw = Gateway(link, broker.port, "--mqtt-user", "orbel", "--mqtt-password-file",
                 password_file, listen="none")
    try:
        sub = Subscriber(broker, user=("orbel", "right"))
        check("right password from a file, no Modbus", wait_for(lambda: sub.on("readings"))
              and gw.port is None, gw.lines)
        sub.close()
    finally:
        gw.stop()
        sim.stop()
        broker.stop()


def openssl(*args):
    subprocess.run(["openssl", *args], check=True, capture_output=True)


def test_tls(tmp):
    ca_key, ca, key, csr, cert = (os.path.join(tmp, n) for n in
                                  ("ca.key", "ca.pem", "server.key", "server.csr", "server.pem"))
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", ca_key, "-out", ca,
            "-days", "2", "-subj", "/CN=orbel test CA")
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", csr,
            "-subj", "/CN=127.0.0.1")
    ext = os.path.join(tmp, "ext")
    with open(ext, "w") as f:
        f.write("subjectAltName=IP:127.0.0.1\n")
    openssl("x509", "-req", "-in", csr, "-CA", ca, "-CAkey", ca_key, "-CAcreateserial",
            "-out", cert, "-days", "2", "-extfile", ext)
    unreadable = subprocess.run([GATEWAY, "--port", "none", "--mqtt", "127.0.0.1",
                                 "--mqtt-ca", os.path.join(tmp, "missing.pem")],
                                capture_output=True, text=True, timeout=10)
    check("TLS: a CA file that cannot be read ends it at once",
          unreadable.returncode == 1 and "missing.pem" in unreadable.stderr
          and "serving" not in unreadable.stderr, unreadable)
    broker = Broker(tmp, "tls", [f"cafile {ca}", f"certfile {cert}", f"keyfile {key}"])
    link = os.path.join(tmp, "e")
    sim = Sim(link)
    gw = Gateway(link, broker.port, "--mqtt-ca", ca)
    try:
        sub = Subscriber(broker, tls=ca)
        check("TLS: readings", wait_for(lambda: sub.on("readings")), gw.lines)
        sub.close()
    finally:
        gw.stop()
    wrong = Gateway(link, broker.port, "--mqtt-ca", cert)  # not the certificate that signed
    try:
        check("TLS: a broker not trusted is refused", wait_for(
            lambda: wrong.said("cannot connect") == 1), wrong.lines)
    finally:
        wrong.stop()
        sim.stop()
        broker.stop()


def main():
    with tempfile.TemporaryDirectory() as tmp:
        for test in (test_topics, test_instrument_silent_then_back, test_broker_restart_and_will,
                     test_wrong_password, test_tls):
            try:
                test(tmp)
            except Exception as e:
                check(test.__name__, False, repr(e))
    return summary()


if __name__ == "__main__":
    sys.exit(main())
