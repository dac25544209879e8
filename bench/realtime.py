#!/usr/bin/env python3
"""The measures of bench/realtime.sh, on each sound server in turn: a private PulseAudio and a
private PipeWire, started as the paced tests start them (scripts/servers.py), and stopped after.
Usage: realtime.py BINARY WORKDIR WRITE_CLOCK_SHIM [SERVER...]"""
import os
import select
import shutil
import threading
import signal
import statistics
import tempfile
import struct
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scripts"))
from servers import child, start_server  # noqa: E402

BIN, WORK, SHIM = sys.argv[1], sys.argv[2], sys.argv[3]
SERVERS = sys.argv[4:] or ["pulse", "pipewire"]
ENV = dict(os.environ)  # the server's, once started
DEVICE = "pulse"
RUNS = int(os.environ.get("RUNS", "5"))
CPU_SECONDS = float(os.environ.get("CPU_SECONDS", "20"))
MENU_END = b"'+' to show additional commands\n"


def constant_wave(name, value, seconds):
    """44100 Hz stereo 16-bit whose every byte is `value`: its sound is known by any four bytes."""
    path = os.path.join(WORK, name)
    data = bytes([value]) * (44100 * 4 * int(seconds))
    fmt = struct.pack("<HHIIHH", 1, 2, 44100, 44100 * 4, 4, 16)
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVEfmt " + struct.pack("<I", 16) + fmt +
                b"data" + struct.pack("<I", len(data)) + data)
    return path


def wave(name, rate, channels, seconds):
    path = os.path.join(WORK, name)
    if not os.path.exists(path):
        subprocess.run(["sox", "-n", "-r", str(rate), "-b", "16", "-c", str(channels), path,
                        "synth", str(seconds), "sine", "440", "vol", "0.3"], check=True)
    return path


class Session:
    """zuvaroza with pipes on stdin/stdout; knows when each output byte arrived."""

    def __init__(self, args, env=None):
        # Ctrl-C as from a terminal, even when the bench runs as a background job
        self.p = subprocess.Popen([BIN] + args, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                  stderr=subprocess.DEVNULL, env=env or ENV, preexec_fn=child)
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
    s = Session([DEVICE, path])
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
                         stderr=subprocess.PIPE, env=ENV)
    _, status, usage = os.wait4(p.pid, 0)
    wall = time.monotonic() - start
    p.returncode = os.waitstatus_to_exitcode(status)
    if p.returncode != 0:
        sys.exit("failed (%d): %s\n%s" % (p.returncode, " ".join(argv), p.stderr.read().decode(errors="replace")))
    return wall, usage.ru_utime + usage.ru_stime


def zuvaroza_pass(path):
    return [BIN, DEVICE, path, "0", "0", "px"]


# The same period and buffer as zuvaroza asks for, so that both wake as often.
def aplay_pass(path):
    return ["aplay", "-q", "-D", DEVICE, "--period-size=4096", "--buffer-size=16384", path]


class Neighbour:
    """Another program writing a log beside the file every 20 ms, while it is on."""

    def __init__(self, on):
        self.on, self.thread = on, threading.Thread(target=self.write, daemon=True)

    def write(self):
        while self.on:
            with open(os.path.join(WORK, "neighbour.log"), "a") as f:
                f.write("a line\n")
            time.sleep(0.02)

    def __enter__(self):
        if self.on:
            self.thread.start()

    def __exit__(self, *_):
        self.on = False


def save_to_restart(saves=20):
    """Follow mode: from a save's close() or rename() to the restart's "Playing..." line, and to
    the first write of the new file's sound to the device (seen by bench/write_clock.so)."""
    takes = [open(constant_wave("take%d.wav" % n, 0x11 * (n + 1), 10), "rb").read() for n in range(2)]
    path = os.path.join(WORK, "follow.wav")
    with open(path, "wb") as f:
        f.write(takes[0])
    log = os.path.join(WORK, "writes.log")
    env = dict(ENV, LD_PRELOAD=SHIM, WRITE_CLOCK_LOG=log)
    s = Session(["--follow", DEVICE, path], env)
    s.wait_for(MENU_END)
    s.send(b"l 1000 p\n")
    s.wait_for(b"Playing...")
    shown, written = [], []
    for i in range(saves):
        time.sleep(0.3)
        take = (i + 1) % 2
        if i % 2:  # in place, then by rename, in turn
            with open(path + ".tmp", "wb") as f:
                f.write(takes[take])
            saved = time.monotonic()
            os.rename(path + ".tmp", path)
        else:
            with open(path, "wb") as f:
                f.write(takes[take])
                f.flush()
                saved = time.monotonic()
        shown.append(s.wait_for(b"Playing...") - saved)
        written.append(first_write(log, saved, 0x11 * (take + 1)) - saved)
    s.p.send_signal(signal.SIGINT)
    s.wait_for(MENU_END)
    s.send(b"x\n")
    s.end()
    return shown, written


def first_write(log, since, byte, timeout=5.0):
    """When the first write after `since` that begins with `byte` was made."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        with open(log) as f:
            for line in f:
                t, *b = line.split()
                if float(t) >= since and all(int(x) == byte for x in b):
                    return float(t)
        time.sleep(0.005)
    raise RuntimeError("no write of the new sound")


def tagged_wave(name, tag, seconds):
    """44100 Hz stereo 16-bit whose left channel counts the frames (under 30000) and whose right
    holds `tag`: a write's first four bytes tell which render it is and where."""
    path = os.path.join(WORK, name)
    data = b"".join(struct.pack("<hh", i % 30000, tag) for i in range(int(44100 * seconds)))
    fmt = struct.pack("<HHIIHH", 1, 2, 44100, 44100 * 4, 4, 16)
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVEfmt " + struct.pack("<I", 16) + fmt +
                b"data" + struct.pack("<I", len(data)) + data)
    return path


def first_frame(log, since, count=None, tag=None, timeout=5.0):
    """When the first write after `since` began with a frame counting `count`, or tagged `tag`."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        with open(log) as f:
            for line in f:
                t, *b = line.split()
                left, right = int(b[0]) | int(b[1]) << 8, int(b[2]) | int(b[3]) << 8
                if float(t) >= since and count in (None, left) and tag in (None, right):
                    return float(t)
        time.sleep(0.005)
    raise RuntimeError("no such write")


def audition(edits=10, switches=10, seconds=20):
    """Audition mode: from a nudge typed during a 0.5 s loop to the first write of the loop's new
    start; from "ab" to the first write of the other render; the CPU of a loop played `seconds`."""
    log = os.path.join(WORK, "audition.log")
    env = dict(ENV, LD_PRELOAD=SHIM, WRITE_CLOCK_LOG=log)
    path = os.path.join(WORK, "audition.wav")
    shutil.copy(tagged_wave("a.wav", 0x1111, 2), path)
    s = Session(["--follow", "--audition", DEVICE, path, "0", "0.5"], env)
    s.wait_for(MENU_END)
    s.send(b"nn 441 p\n")
    edited = []
    for i in range(edits):
        s.wait_for(b"\rloop ")
        time.sleep(0.05 * i)
        sent = time.monotonic()
        s.send(b"N\n")
        edited.append(first_frame(log, sent, count=441 * (i + 1)) - sent)
    # the render before a save, and the one after it, in turn, once a whole loop of each was kept
    s.wait_for(b"0.10 to 0.60 sec")
    shutil.copy(tagged_wave("b.wav", 0x2222, 2), path + ".tmp")
    os.rename(path + ".tmp", path)
    s.wait_for(b"saved")
    s.wait_for(b"\rloop ")
    switched = []
    for i in range(switches):
        time.sleep(0.2 + 0.031 * i)
        sent = time.monotonic()
        s.send(b"ab\n")
        switched.append(first_frame(log, sent, tag=0x1111 if i % 2 == 0 else 0x2222) - sent)
    ticks = os.sysconf("SC_CLK_TCK")
    def used():
        with open("/proc/%d/stat" % s.p.pid) as f:
            return sum(int(x) for x in f.read().rsplit(")", 1)[1].split()[11:13]) / ticks
    before = used()
    time.sleep(seconds)
    cpu = (used() - before) * 60 / seconds
    s.send(b"\n")
    s.wait_for(MENU_END)
    s.send(b"x\n")
    s.end()
    return edited, switched, cpu


def idle_cpu(seconds=20):
    """Follow mode on, waiting in the menu: CPU seconds per minute."""
    s = Session(["--follow", DEVICE, wave("idle.wav", 44100, 2, 1)])
    s.wait_for(MENU_END)
    ticks = os.sysconf("SC_CLK_TCK")
    def used():
        with open("/proc/%d/stat" % s.p.pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / ticks
    before = used()
    time.sleep(seconds)
    spent = used() - before
    s.send(b"x\n")
    s.end()
    return spent * 60 / seconds


def ms(seconds):
    return "%7.1f ms" % (seconds * 1000)


def lost_server(tries=3):
    """A server killed mid-pass: seconds until the run ended, and the CPU it used meanwhile."""
    path, took, cpu = wave("lost.wav", 44100, 2, 5), [], []
    for _ in range(tries):
        env, home, helpers = dict(os.environ), tempfile.mkdtemp(prefix="zuvaroza-"), []
        start_server(SERVER, env, home, helpers)
        p = subprocess.Popen(zuvaroza_pass(path), stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
        time.sleep(1)
        with open("/proc/%d/stat" % p.pid) as f:
            before = sum(int(x) for x in f.read().rsplit(")", 1)[1].split()[11:13]) / os.sysconf("SC_CLK_TCK")
        killed = time.monotonic()
        os.kill(int(env["SERVER"]), signal.SIGKILL)
        _, status, usage = os.wait4(p.pid, 0)
        took.append(time.monotonic() - killed)
        cpu.append(usage.ru_utime + usage.ru_stime - before)
        if os.waitstatus_to_exitcode(status) != 1 or p.stderr.read().count(b"\n") != 1:
            sys.exit("a lost server did not end the run with one line and status 1")
        for h in helpers:
            h.kill()
            h.wait()
        shutil.rmtree(home, ignore_errors=True)
    return took, cpu


def measure():
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

    # each in turn, the median of three: a busy machine's noise falls on both alike
    long, cpus = wave("cpu.wav", 44100, 2, CPU_SECONDS), {"zuvaroza": [], "aplay": []}
    for _ in range(3):
        cpus["zuvaroza"].append(run(zuvaroza_pass(long))[1] * 60 / CPU_SECONDS)
        cpus["aplay"].append(run(aplay_pass(long))[1] * 60 / CPU_SECONDS)
    zc, ac = statistics.median(cpus["zuvaroza"]), statistics.median(cpus["aplay"])
    print("\nCPU time per minute of paced playback (44100 Hz stereo, a %g s pass, median of 3)" % CPU_SECONDS)
    print("  zuvaroza %s   aplay %s   ratio %.2f" % (ms(zc), ms(ac), zc / ac if ac else 0))

    print("\nSave-to-restart latency in follow mode (20 saves, in place and by rename in turn)")
    print("  %-58s %10s %10s" % ("", "median", "worst"))
    for label, on in (("", False), (", another file written every 20 ms", True)):
        with Neighbour(on):
            shown, written = save_to_restart()
        print("  %-58s %10s %10s" % ("to the \"Playing...\" line" + label, ms(statistics.median(shown)), ms(max(shown))))
        print("  %-58s %10s %10s" % ("to the first new write" + label, ms(statistics.median(written)), ms(max(written))))
    print("\nFollow mode on, idle in the menu for 20 s: %s of CPU per minute" % ms(idle_cpu()))

    edited, switched, cpu = audition(seconds=CPU_SECONDS)
    print("\nAudition mode, 0.5 s loops of 44100 Hz stereo (a period is 93 ms)")
    print("  %-58s %10s %10s" % ("", "median", "worst"))
    print("  %-58s %10s %10s" % ("a nudge to the first write of the loop's new start (10)", ms(statistics.median(edited)),
                                 ms(max(edited))))
    print("  %-58s %10s %10s" % ("\"ab\" to the first write of the other render (10)", ms(statistics.median(switched)),
                                 ms(max(switched))))
    print("  CPU time per minute of an audition loop: %s   aplay %s   ratio %.2f" % (ms(cpu), ms(ac), cpu / ac if ac else 0))

    took, cpu = lost_server()
    print("\nServer killed mid-pass (%d tries): the run ended after %s at worst, using %s of CPU at most"
          % (len(took), ms(max(took)), ms(max(cpu))))


def main():
    global SERVER, DEVICE, ENV
    print("zuvaroza:", BIN)
    for SERVER in SERVERS:
        DEVICE, ENV = SERVER, dict(os.environ)
        print("\n== on %s" % SERVER)
        home, helpers = tempfile.mkdtemp(prefix="zuvaroza-"), []
        start_server(SERVER, ENV, home, helpers)
        try:
            measure()
        finally:
            for h in helpers:
                h.kill()
                h.wait()
            shutil.rmtree(home, ignore_errors=True)


main()
