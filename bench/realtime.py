#!/usr/bin/env python3
"""The measures of bench/realtime.sh, run against the server it started (PULSE_SERVER is set).
Usage: realtime.py BINARY WORKDIR"""
import os
import select
import signal
import statistics
import subprocess
import sys
import time

BIN, WORK = sys.argv[1], sys.argv[2]
RUNS = int(os.environ.get("RUNS", "5"))
CPU_SECONDS = float(os.environ.get("CPU_SECONDS", "20"))
MENU_END = b"'+' to show additional commands\n"


def wave(name, rate, channels, seconds):
    path = os.path.join(WORK, name)
    if not os.path.exists(path):
        subprocess.run(["sox", "-n", "-r", str(rate), "-b", "16", "-c", str(channels), path,
                        "synth", str(seconds), "sine", "440", "vol", "0.3"], check=True)
    return path


class Session:
    """zuvaroza with pipes on stdin/stdout; knows when each output byte arrived."""

    def __init__(self, args):
        self.p = subprocess.Popen([BIN] + args, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                  stderr=subprocess.DEVNULL)
        self.out = b""
        self.mark = 0
        self.arrivals = []  # (len(out) after a read, when)

    def send(self, text):
        self.p.stdin.write(text)
        self.p.stdin.flush()

    def wait_for(self, text, timeout=20.0):
        """When the last byte of the next `text` arrived."""
        deadline = time.monotonic() + timeout
        fd = self.p.stdout.fileno()
        while True:
            at = self.out.find(text, self.mark)
            if at >= 0:
                self.mark = at + len(text)
                return next(t for size, t in self.arrivals if size >= self.mark)
            ready, _, _ = select.select([fd], [], [], max(0.0, deadline - time.monotonic()))
            chunk = os.read(fd, 65536) if ready else b""
            if not chunk:
                raise RuntimeError("no %r from %s" % (text, BIN))
            self.out += chunk
            self.arrivals.append((len(self.out), time.monotonic()))

    def end(self):
        self.p.stdin.close()
        try:
            self.p.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.p.kill()
            self.p.wait()


def ctrl_c_latencies(path, tries=10):
    """Ctrl-C at points spread over a looping pass; seconds until the menu's last line is read."""
    s = Session(["pulse", path])
    s.wait_for(MENU_END)
    s.send(b"l 1000 p\n")
    latencies = []
    for i in range(tries):
        s.wait_for(b"Playing...")
        time.sleep(0.15 + 0.097 * i)
        sent = time.monotonic()
        s.p.send_signal(signal.SIGINT)
        latencies.append(s.wait_for(MENU_END) - sent)
        s.send(b"p\n")
    s.wait_for(b"Playing...")
    s.p.send_signal(signal.SIGINT)
    s.wait_for(MENU_END)
    s.send(b"x\n")
    s.end()
    return latencies


def run(argv):
    """Wall seconds and CPU seconds (user + system) of one run, output discarded."""
    start = time.monotonic()
    p = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                         stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(p.pid, 0)
    wall = time.monotonic() - start
    p.returncode = os.waitstatus_to_exitcode(status)
    if p.returncode != 0:
        sys.exit("failed (%d): %s" % (p.returncode, " ".join(argv)))
    return wall, usage.ru_utime + usage.ru_stime


def zuvaroza_pass(path):
    return [BIN, "pulse", path, "0", "0", "px"]


def aplay_pass(path):
    return ["aplay", "-q", "-D", "pulse", path]


def has_follow():
    help_text = subprocess.run([BIN, "--help"], capture_output=True, text=True).stdout
    return "--follow" in help_text


def save_to_restart(path, saves=20):
    """Follow mode: from a save's close() to the restart's "Playing..." line."""
    with open(path, "rb") as f:
        content = f.read()
    s = Session(["--follow", "pulse", path])
    s.wait_for(MENU_END)
    s.send(b"l 1000 p\n")
    s.wait_for(b"Playing...")
    latencies = []
    for _ in range(saves):
        time.sleep(0.3)
        with open(path, "wb") as f:
            f.write(content)
        saved = time.monotonic()
        latencies.append(s.wait_for(b"Playing...") - saved)
    s.p.send_signal(signal.SIGINT)
    s.wait_for(MENU_END)
    s.send(b"x\n")
    s.end()
    return latencies


def ms(seconds):
    return "%7.1f ms" % (seconds * 1000)


def main():
    print("zuvaroza:", BIN)
    print("\nCtrl-C to the menu's last line, during a looping pass (10 tries each)")
    print("  %-26s %10s %10s" % ("", "median", "worst"))
    for label, path in (("44100 Hz stereo", wave("loop44.wav", 44100, 2, 10)),
                        ("8000 Hz mono", wave("loop8.wav", 8000, 1, 10))):
        lat = ctrl_c_latencies(path)
        print("  %-26s %10s %10s" % (label, ms(statistics.median(lat)), ms(max(lat))))

    two = wave("two.wav", 44100, 2, 2)
    walls = {"zuvaroza": [], "aplay": []}
    for i in range(RUNS):
        order = ("zuvaroza", "aplay") if i % 2 == 0 else ("aplay", "zuvaroza")
        for who in order:
            argv = zuvaroza_pass(two) if who == "zuvaroza" else aplay_pass(two)
            walls[who].append(run(argv)[0])
    z, a = statistics.median(walls["zuvaroza"]), statistics.median(walls["aplay"])
    print("\nWall time of a 2 s pass (median of %d)" % RUNS)
    print("  zuvaroza px %.3f s   aplay %.3f s   ratio %.3f" % (z, a, z / a))

    long = wave("cpu.wav", 44100, 2, CPU_SECONDS)
    zc = run(zuvaroza_pass(long))[1] * 60 / CPU_SECONDS
    ac = run(aplay_pass(long))[1] * 60 / CPU_SECONDS
    print("\nCPU time per minute of paced playback (44100 Hz stereo, a %g s pass)" % CPU_SECONDS)
    print("  zuvaroza %s   aplay %s   ratio %.2f" % (ms(zc), ms(ac), zc / ac if ac else 0))

    print("\nSave-to-restart latency in follow mode (20 saves)")
    if has_follow():
        lat = save_to_restart(wave("follow.wav", 44100, 2, 10))
        print("  median %s   worst %s" % (ms(statistics.median(lat)), ms(max(lat))))
    else:
        print("  not measured: this binary has no --follow")


main()
