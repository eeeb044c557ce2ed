#!/usr/bin/python3
"""The soak's driver, started by scripts/soak inside Xvfb and a private session bus.

It starts the accessibility bus, the simulated handset on COM20 and the program, then until the
time is up: every LEAVE_EVERY seconds the handset leaves (the simulator ends, its port goes away
like an unplugged USB device) and comes back (a new simulator on the same number, same handset
state); every OPS_EVERY seconds one operation of each family is run from the program's pages. A
thread samples the program's resident memory, open descriptors and threads once a second.

The program's controls are found through the accessibility bridge by their role, their text and
their place on the page (the start buttons are the push buttons just before a page's progress
bar); message boxes are answered by QPX_AUTO_DIALOGS, which also writes their texts to stderr.
"""
import argparse
import os
import signal
import statistics
import struct
import subprocess
import sys
import threading
import time
import zlib

import pyatspi

PORT = 20
RECONNECT_S = 30
OPERATION_S = 180
SUCCESS = "Download Success!"
QUESTIONS = ("Are you sure?", "already exists", "Overwrite previous file")

# Panel buttons of the function list, in their order.
PANEL_BIN, PANEL_PRL, PANEL_ERI, PANEL_SETTING, PANEL_PHONEBOOK, PANEL_TRANSFER = 2, 4, 5, 6, 7, 8

T0 = time.monotonic()


def log(text):
    print("[%7.1f s] %s" % (time.monotonic() - T0, text), flush=True)


# ---- input files in the reference plug-in's formats ----------------------------------------------

def crc16(data):
    crc = 0xFFFF
    for b in data:
        crc ^= b << 8
        for _ in range(8):
            crc = ((crc << 1) ^ 0x1021) & 0xFFFF if crc & 0x8000 else (crc << 1) & 0xFFFF
    return ~crc & 0xFFFF


def prl_file(size, prl_id):
    b = bytearray((i * 7 + 3) & 0xFF for i in range(size))
    b[0:4] = bytes([size >> 8, size & 0xFF, prl_id >> 8, prl_id & 0xFF])
    crc = crc16(b[:size - 2])
    b[size - 2:] = bytes([crc >> 8, crc & 0xFF])
    return bytes(b)


def eri_file(size, version):
    b = bytearray((i * 13 + 5) & 0xFF for i in range(size))
    b[0:2] = bytes([version >> 8, version & 0xFF])
    return bytes(b)


def firmware_image(directory, size):
    payload = bytes((i * 11 + 0x7D) & 0xFF for i in range(size))
    return (b"QPXIMG1\0" + directory.encode().ljust(8, b"\0") +
            struct.pack("<II", size, zlib.crc32(payload)) + payload)


# ---- processes ---------------------------------------------------------------------------------

class Sampler(threading.Thread):
    """Resident memory (kB), open descriptors and threads of a process, once a second."""

    def __init__(self, pid):
        super().__init__(daemon=True)
        self.pid = pid
        self.samples = []  # (seconds since start, rss kB, descriptors, threads)
        self.stop = threading.Event()

    def run(self):
        while not self.stop.wait(1.0):
            try:
                with open("/proc/%d/status" % self.pid) as f:
                    rss = next(int(line.split()[1]) for line in f if line.startswith("VmRSS:"))
                fds = len(os.listdir("/proc/%d/fd" % self.pid))
                tasks = len(os.listdir("/proc/%d/task" % self.pid))
            except (OSError, StopIteration):
                return
            self.samples.append((time.monotonic() - T0, rss, fds, tasks))


class Simulator:
    def __init__(self, install, work):
        self.program = os.path.join(install, "qpx-handset-sim")
        self.state = os.path.join(work, "state")
        self.errors = os.path.join(work, "sim.err")
        self.proc = None
        self.err = None
        self.offset = 0

    def start(self):
        self.err = open(self.errors, "ab")
        self.offset = self.err.tell()
        self.proc = subprocess.Popen(
            [self.program, "--port", str(PORT), "--state", self.state, "--reset-ms", "300", "--verbose"],
            stdout=subprocess.PIPE, stderr=self.err)
        line = self.proc.stdout.readline().decode(errors="replace")
        if not line.startswith("qpx-handset-sim: COM%d" % PORT):
            raise RuntimeError("the simulator did not start: %r" % line)

    def stop(self):
        if self.proc is None:
            return
        self.proc.send_signal(signal.SIGTERM)
        try:
            self.proc.wait(10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        self.proc.stdout.close()
        self.err.close()
        self.proc = None

    def status_requests(self):
        """Status requests this simulator has had since it started."""
        with open(self.errors, "rb") as f:
            f.seek(self.offset)
            return f.read().count(b"request 0C ")


class Program:
    def __init__(self, install, work):
        self.errors = os.path.join(work, "qpx.err")
        self.err = open(self.errors, "wb")
        self.proc = subprocess.Popen([os.path.join(install, "qpx")], stdout=subprocess.DEVNULL,
                                     stderr=self.err)

    def messages(self):
        """Every message box text so far."""
        with open(self.errors, "rb") as f:
            return [line[len(b"qpx: message box: "):].decode(errors="replace").rstrip("\n")
                    for line in f if line.startswith(b"qpx: message box: ")]

    def alive(self):
        return self.proc.poll() is None

    def end(self):
        if self.alive():
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(30)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.err.close()


# ---- the program's window through the accessibility bridge ------------------------------------

def children(acc):
    return [c for c in (acc.getChildAtIndex(i) for i in range(acc.childCount)) if c is not None]


def descendants(acc, role, name=None, depth=6):
    found = []
    for c in children(acc):
        if c.getRoleName() == role and (name is None or c.name == name):
            found.append(c)
        if depth > 0:
            found += descendants(c, role, name, depth - 1)
    return found


def enabled(acc):
    return acc.getState().contains(pyatspi.STATE_ENABLED)


def act(acc, names=("Press", "Toggle")):
    action = acc.queryAction()
    for i in range(action.nActions):
        if action.getName(i) in names:
            action.doAction(i)
            return
    raise RuntimeError("no action %s on %s %r" % (names, acc.getRoleName(), acc.name))


def click(acc):
    """A mouse click in the middle of the control, through the X server's test extension."""
    box = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    subprocess.run(["xdotool", "mousemove", "--sync", str(box.x + box.width // 2),
                    str(box.y + box.height // 2), "click", "1"], check=True)
    time.sleep(0.3)


class Window:
    def __init__(self):
        self.frame = None

    def find(self, timeout=60):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            desktop = pyatspi.Registry.getDesktop(0)
            for app in children(desktop):
                if app.name == "KOVA QPX":
                    for f in children(app):
                        if f.getRoleName() == "frame" and f.name.startswith("KOVA QPX"):
                            self.frame = f
                            return
            time.sleep(0.5)
        raise RuntimeError("the program's window did not show")

    def panes(self):
        bar = next(c for c in children(self.frame) if c.getRoleName() == "status bar")
        return [c.name for c in children(bar) if c.getRoleName() == "label"]

    def connected(self):
        panes = self.panes()
        return "PORT : COM%d" % PORT in panes and "MODEL : KOVA Reference" in panes

    def host(self):
        bar = next(c for c in children(self.frame) if c.name == "Function List")
        return children(bar)[0]

    def panel_button(self, index):
        panel = next(c for c in children(self.host())
                     if c.getRoleName() == "filler" and
                     len([b for b in children(c) if b.getRoleName() == "push button"]) >= 11)
        act([b for b in children(panel) if b.getRoleName() == "push button"][index])

    def page(self, kind, timeout=10):
        """The operation page of a kind, told by what it holds: "upgrade", "settings",
        "phonebook" or "transfer"."""
        def holds(page):
            kids = children(page)
            roles = {(c.getRoleName(), c.name) for c in kids}
            if not any(r == "progress bar" for r, _ in roles):
                return False
            if kind == "upgrade":
                return ("label", "BIN File Path :") in roles
            if kind == "settings":
                return bool(descendants(page, "page tab list", depth=2))
            if kind == "phonebook":
                return ("radio button", "Write") in roles
            return ("radio button", "Backup") in roles

        end = time.monotonic() + timeout
        while time.monotonic() < end:
            for c in children(self.host()):
                if c.getRoleName() == "filler" and holds(c):
                    return c
            time.sleep(0.2)
        raise RuntimeError("no %s page" % kind)

    @staticmethod
    def start_buttons(page):
        """The push buttons just before the page's progress bar."""
        kids = children(page)
        bar = next(i for i, c in enumerate(kids) if c.getRoleName() == "progress bar")
        buttons = []
        for c in reversed(kids[:bar]):
            if c.getRoleName() != "push button":
                break
            buttons.insert(0, c)
        return buttons

    @staticmethod
    def radio(page, name):
        # A real click: the bridge's Toggle checks the button without the click the page reacts to.
        click(descendants(page, "radio button", name)[0])

    @staticmethod
    def set_path(page, label, text):
        kids = children(page)
        at = next(i for i, c in enumerate(kids) if c.getRoleName() == "label" and c.name == label)
        field = next(c for c in kids[at:] if c.getRoleName() == "text")
        field.queryEditableText().setTextContents(text)

    @staticmethod
    def set_only_path(page, text):
        field = next(c for c in children(page) if c.getRoleName() == "text")
        field.queryEditableText().setTextContents(text)


# ---- the soak ----------------------------------------------------------------------------------

class Soak:
    def __init__(self, args):
        self.args = args
        self.sim = Simulator(args.install, args.work)
        self.program = None
        self.window = Window()
        self.cycles = 0
        self.missed = []
        self.operations = 0
        self.failed = []
        files = os.path.join(args.work, "files")
        os.makedirs(files, exist_ok=True)
        self.files = {
            "prl": (os.path.join(files, "soak.prl"), prl_file(600, 4321)),
            "eri": (os.path.join(files, "soak_eri.bin"), eri_file(1200, 0x0104)),
            "bin": (os.path.join(files, "soak.bin"), firmware_image("VKQ100A1", 4000)),
            "csv": (os.path.join(files, "soak.csv"), b"Anna Berg,2125550147,,,,,\nBo Lind,3105550100,,,,,\n"),
        }
        for path, data in self.files.values():
            with open(path, "wb") as f:
                f.write(data)

    def wait_connected(self, why, since_requests=0):
        """The program polls this simulator and names the handset; a missed reconnection otherwise."""
        end = time.monotonic() + RECONNECT_S
        while time.monotonic() < end:
            try:
                if self.sim.status_requests() > since_requests and self.window.connected():
                    return True
            except Exception:  # the accessibility tree changes under us
                pass
            time.sleep(0.25)
        self.missed.append("%.0f s: %s" % (time.monotonic() - T0, why))
        log("MISSED reconnection: %s (panes %s)" % (why, self.safe_panes()))
        return False

    def safe_panes(self):
        try:
            return self.window.panes()
        except Exception as e:  # noqa: BLE001
            return "unreadable: %s" % e

    def cycle(self):
        """The handset leaves like an unplugged USB device and comes back on the same number."""
        self.cycles += 1
        self.sim.stop()
        end = time.monotonic() + 10
        while time.monotonic() < end and "PORT : COM%d" % PORT in self.safe_panes():
            time.sleep(0.2)
        time.sleep(1.0)
        self.sim.start()
        self.wait_connected("after the handset came back (cycle %d)" % self.cycles)

    def operation(self, name, prepare, pick=-1):
        """Runs one operation from its page; pick chooses among the page's start buttons."""
        self.operations += 1
        before = len(self.program.messages())
        try:
            page = prepare()
            start = self.window.start_buttons(page)[pick]
            end = time.monotonic() + RECONNECT_S
            while not enabled(start) and time.monotonic() < end:
                time.sleep(0.2)
            act(start)
        except Exception as e:  # noqa: BLE001
            self.failed.append("%s: not started (%s)" % (name, e))
            log("FAILED %s: not started (%s)" % (name, e))
            return
        result = None
        end = time.monotonic() + OPERATION_S
        while result is None and time.monotonic() < end:
            for text in self.program.messages()[before:]:
                if not any(q in text for q in QUESTIONS):
                    result = text
            time.sleep(0.2)
        if result == SUCCESS:
            log("ok %s" % name)
        else:
            self.failed.append("%s: %s" % (name, result or "no result within %d s" % OPERATION_S))
            log("FAILED %s: %s" % (name, result))
        requests = self.sim.status_requests()
        self.wait_connected("after the operation %s" % name, requests)

    def operations_round(self):
        w = self.window

        def prl():
            w.panel_button(PANEL_PRL)
            page = w.page("upgrade")
            w.radio(page, "Write")
            w.radio(page, "NAM 1")
            w.set_path(page, "PRL File Path :", self.files["prl"][0])
            return page

        def eri():
            w.panel_button(PANEL_ERI)
            page = w.page("upgrade")
            w.radio(page, "Write")
            w.set_path(page, "ERI File Path :", self.files["eri"][0])
            return page

        def settings():
            w.panel_button(PANEL_SETTING)
            return w.page("settings")

        def phonebook():
            w.panel_button(PANEL_PHONEBOOK)
            page = w.page("phonebook")
            w.radio(page, "Write")
            w.set_only_path(page, self.files["csv"][0])
            return page

        def transfer():
            w.panel_button(PANEL_TRANSFER)
            page = w.page("transfer")
            w.radio(page, "Backup")
            return page

        def firmware():
            w.panel_button(PANEL_BIN)
            page = w.page("upgrade")
            w.set_path(page, "BIN File Path :", self.files["bin"][0])
            return page

        self.operation("PRL write", prl)
        self.operation("ERI write", eri)
        self.operation("Settings read", settings, -2)
        self.operation("Settings write", settings, -1)
        self.operation("Phonebook write", phonebook)
        self.operation("Transfer backup", transfer)
        self.operation("Bin download", firmware)

    def run(self):
        launcher = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(1.0)
        self.sim.start()
        self.program = Program(self.args.install, self.args.work)
        sampler = Sampler(self.program.proc.pid)
        sampler.start()
        try:
            self.window.find()
            self.wait_connected("at start")
            deadline = T0 + self.args.minutes * 60
            next_ops = time.monotonic() + 20
            while time.monotonic() < deadline and self.program.alive():
                if time.monotonic() >= next_ops:
                    log("operations round")
                    self.operations_round()
                    next_ops = time.monotonic() + self.args.ops_every
                else:
                    time.sleep(self.args.leave_every)
                    if time.monotonic() < deadline:
                        self.cycle()
        finally:
            crashed = not self.program.alive()
            sampler.stop.set()
            self.program.end()
            self.sim.stop()
            launcher.terminate()
        return self.report(sampler.samples, crashed)

    def report(self, samples, crashed):
        with open(os.path.join(self.args.work, "samples.csv"), "w") as f:
            f.write("seconds,rss_kb,fds,threads\n")
            for s in samples:
                f.write("%.1f,%d,%d,%d\n" % s)
        problems = []
        if crashed:
            problems.append("the program ended by itself (exit status %s)" % self.program.proc.returncode)
        first = [s for s in samples if s[0] <= 60]
        after = [s for s in samples if s[0] > 60]
        last = [s for s in samples if s[0] > samples[-1][0] - 60] if samples else []
        print()
        print("Soak of %.1f minutes: %d leave/return cycles, %d operations" %
              ((time.monotonic() - T0) / 60, self.cycles, self.operations))
        if not first or not after:
            problems.append("too few samples (%d)" % len(samples))
        else:
            rss0, fd0 = first[-1][1], min(s[2] for s in samples if 60 < s[0] <= 120)
            rss_end = statistics.median(s[1] for s in last)
            fd_end = min(s[2] for s in last)
            print("Resident memory: %d kB at 1 min, %d kB at the end (median of the last minute), "
                  "%d kB at most; growth %+d kB" %
                  (rss0, rss_end, max(s[1] for s in samples), rss_end - rss0))
            print("Descriptors: %d at 1-2 min, %d at the end (fewest of each minute), %d at most" %
                  (fd0, fd_end, max(s[2] for s in samples)))
            print("Threads: %d at 1 min, %d at the end, %d at most" %
                  (first[-1][3], last[-1][3], max(s[3] for s in samples)))
            if rss_end - rss0 > 1024:
                problems.append("resident memory grew by %d kB after the first minute" % (rss_end - rss0))
            if fd_end > fd0:
                problems.append("descriptors grew from %d to %d" % (fd0, fd_end))
        print("Missed reconnections: %d" % len(self.missed))
        for m in self.missed:
            print("  " + m)
        print("Failed operations: %d of %d" % (len(self.failed), self.operations))
        for f in self.failed:
            print("  " + f)
        for p in problems:
            print("SOAK FAILED: " + p)
        if self.missed:
            print("SOAK FAILED: %d reconnections missed" % len(self.missed))
        return 1 if problems or self.missed else 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--install", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--minutes", type=float, default=60)
    parser.add_argument("--leave-every", type=float,
                        default=float(os.environ.get("QPX_SOAK_LEAVE_EVERY", "8")))
    parser.add_argument("--ops-every", type=float,
                        default=float(os.environ.get("QPX_SOAK_OPS_EVERY", "180")))
    return Soak(parser.parse_args()).run()


if __name__ == "__main__":
    sys.exit(main())
