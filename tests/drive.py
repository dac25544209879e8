#!/usr/bin/env python3
# Runs a program with steps a shell pipe cannot take, and prints a log for FileCheck.
#
#   drive.py [--server pulse|pipewire] [--steps FILE:PREFIX] [--timeout S] PROGRAM [ARG...]
#
# Without --steps the program reads the driver's standard input. The log: what the program printed
# ("\r" for a carriage return), each line of its standard error as "! LINE", then "= STATUS" (or
# "= signal N", "= timeout"), then one line per check step, in order.
#
# --server starts a private PulseAudio or PipeWire server with a null sink (it paces like a sound
# card), for the program and the steps, in a directory of its own; its ALSA device is named as the
# server is, and paced_file:'PATH' records every byte into PATH and plays it on. The server is
# stopped by its PID; $SERVER holds it.
#
# Steps are the lines "PREFIX> STEP ; STEP..." of FILE, taken in turn (texts may hold \n and \r):
#   wait TEXT            until the output shows TEXT after the last match (10 s at most)
#   menu                 waits for the menu's last line
#   send TEXT            types TEXT and a line end
#   sleep S              waits S seconds
#   signal NAME          sends SIGNAME (INT, STOP, CONT) to the program
#   sh COMMAND           runs COMMAND in sh, in the current directory ($PID is the program)
#   bound A B MAX [MIN]  checks that B came at most MAX s (at least MIN s) after A;
#                        MAX may be REF+S: the time the step REF took, plus S
#   cpu A B MAX          checks that the program used at most MAX s of CPU from A to B
#   gaps TEXT MAX        checks that no two TEXTs in a row came more than MAX s apart
# A step may begin with @LABEL: its time (for wait, when the text came) and the program's CPU
# time then are kept under LABEL; "end" is when the program ended. Checks print "in time",
# "idle", or what went wrong ("LATE 0.034 s", "EARLY", "BUSY").
import argparse, ctypes, os, shutil, signal, socket, subprocess, sys, tempfile, threading, time

def dies_with_us():  # a test ended by its timeout leaves nothing playing
    ctypes.CDLL(None).prctl(1, signal.SIGKILL)
    signal.signal(signal.SIGINT, signal.SIG_DFL)  # lit runs cases with interrupts ignored


class Output:  # one of the program's outputs, read as it comes, with when each piece came
    def __init__(self, pipe):
        self.data, self.times, self.done = b"", [], False
        self.thread = threading.Thread(target=self.pump, args=(pipe,), daemon=True)
        self.thread.start()

    def pump(self, pipe):
        while chunk := os.read(pipe.fileno(), 65536):
            self.times.append((len(self.data) + len(chunk), time.monotonic()))
            self.data += chunk
        self.done = True

    def when(self, offset):
        return next(t for size, t in self.times if size > offset)


def until(test, seconds=10):
    end = time.monotonic() + seconds
    while not test():
        if time.monotonic() > end:
            return False
        time.sleep(0.02)
    return True


PIPEWIRE_ALSA = "/opt/zuvaroza/pipewire-alsa/alsa.conf"  # PipeWire's ALSA plugin, unpacked by scripts/setup.sh
PIPEWIRE_CONF = {  # a null sink drives the graph in real time; wireplumber links streams to it, and finds no devices
    "pipewire/pipewire.conf.d/sink.conf": "context.objects = [ { factory = adapter args = { factory.name = "
    "support.null-audio-sink node.name = nul media.class = Audio/Sink audio.position = [ FL FR ] priority.driver = 1 } } ]",
    "wireplumber/main.lua.d/60-off.lua": "alsa_monitor.enabled = false v4l2_monitor.enabled = false "
    "libcamera_monitor.enabled = false",
    "wireplumber/bluetooth.lua.d/60-off.lua": "bluez_monitor.enabled = false"}


def listening(path):
    with socket.socket(socket.AF_UNIX) as s:
        return s.connect_ex(path) == 0


def start_pulse(home, env, spawn, run):
    env.update(PULSE_RUNTIME_PATH=home, PULSE_SERVER=f"unix:{home}/native")
    server = spawn("pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                   "-L", "module-null-sink sink_name=nul", "-L", "module-native-protocol-unix")
    # An idle null sink renders 2 s blocks, so a new stream would start up to 2 s late. A reader
    # on its monitor with a 20 ms latency keeps the blocks short; suspending and resuming the sink
    # then restarts its clock, so even the first stream starts at once, as on a sound card.
    if until(lambda: run("pactl", "info").returncode == 0):
        spawn("parec", "-d", "nul.monitor", "--latency-msec=20", out=subprocess.DEVNULL)
        if until(lambda: run("pactl", "list", "short", "source-outputs").stdout.strip()) and \
                not run("pactl", "suspend-sink", "nul", "1").returncode and not run("pactl", "suspend-sink", "nul", "0").returncode:
            return server


def start_pipewire(home, env, spawn, run):
    for name, text in PIPEWIRE_CONF.items():
        os.makedirs(os.path.dirname(f"{home}/{name}"), exist_ok=True)
        with open(f"{home}/{name}", "w") as f:
            f.write(text + "\n")
    env.update(PIPEWIRE_RUNTIME_DIR=home, XDG_CONFIG_HOME=home, DBUS_SESSION_BUS_ADDRESS=f"unix:path={home}/bus",
               ALSA_CONFIG_PATH="/usr/share/alsa/alsa.conf:" + PIPEWIRE_ALSA)
    # each starts when the one before it listens: wireplumber ends at once without a session bus or pipewire
    spawn("dbus-daemon", "--session", "--nofork", "--address=" + env["DBUS_SESSION_BUS_ADDRESS"])
    server = os.path.exists(PIPEWIRE_ALSA) and until(lambda: listening(home + "/bus")) and spawn("pipewire")
    if server and until(lambda: listening(home + "/pipewire-0")):
        spawn("wireplumber")
        if until(lambda: "nul:playback_FR" in run("pw-link", "-i").stdout
                 and '"nul"' in run("pw-metadata", "0", "default.audio.sink").stdout):
            return server


def start_server(kind, env):
    home = tempfile.mkdtemp(prefix=f"zuvaroza-{kind}-")  # short: the socket's path has a limit
    env.update(HOME=home, XDG_RUNTIME_DIR=home)
    with open(home + "/.asoundrc", "w") as f:
        f.write('pcm.paced_file { @args [ FILE ] @args.FILE { type string }\n'
                f'  type file slave.pcm "{kind}" file $FILE format "raw" }}\n')
    log, helpers = open(home + "/log", "w"), []
    run = lambda *a: subprocess.run(a, env=env, capture_output=True, text=True)
    spawn = lambda *a, out=log: helpers.insert(0, subprocess.Popen(a, env=env, stdout=out, stderr=log,
                                                                   preexec_fn=dies_with_us)) or helpers[0]
    server = (start_pulse if kind == "pulse" else start_pipewire)(home, env, spawn, run)
    if not server:
        sys.exit(f"drive.py: could not start a private {kind} server (scripts/setup.sh installs what it needs); "
                 f"its log:\n{open(home + '/log').read()}")
    env["SERVER"] = str(server.pid)
    return home, helpers


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--server", choices=["pulse", "pipewire"])
    ap.add_argument("--steps")
    ap.add_argument("--timeout", type=float, default=20)
    ap.add_argument("command", nargs=argparse.REMAINDER)
    args = ap.parse_args()
    env, helpers, failed = dict(os.environ), [], False
    if args.server:
        home, helpers = start_server(args.server, env)
    steps = []
    if args.steps:
        path, prefix = args.steps.rsplit(":", 1)
        lines = [line[len(prefix) + 1 :] for line in open(path) if line.startswith(prefix + ">")]
        steps = [step.strip() for line in lines for step in line.split(" ; ")]
    p = subprocess.Popen(args.command, env=env, stdin=subprocess.PIPE if args.steps else None,
                         stdout=subprocess.PIPE, stderr=subprocess.PIPE, preexec_fn=dies_with_us)
    env["PID"] = str(p.pid)
    out, err = Output(p.stdout), Output(p.stderr)
    events, checks, mark = {}, [], 0

    def cpu():  # user and system time, from /proc/PID/stat
        try:
            fields = open(f"/proc/{p.pid}/stat").read().rsplit(")", 1)[1].split()
            return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")
        except OSError:
            return float("nan")

    for step in steps:
        label = step[1:].split(" ", 1)[0] if step.startswith("@") else None
        step = step.split(" ", 1)[1] if label else step
        verb, _, rest = step.partition(" ")
        if verb == "menu":
            verb, rest = "wait", "'+' to show additional commands\\n"
        text = rest.encode().decode("unicode_escape").encode("latin-1")
        started = when = time.monotonic()
        if verb == "wait":
            if until(lambda: out.data.find(text, mark) >= 0 or out.done and out.data.find(text, mark) < 0):
                at = out.data.find(text, mark)
                if at < 0:
                    print(f"drive.py: the output ended without {rest}", file=sys.stderr)
                    failed = True
                    break
                mark = at + len(text)
                when = out.when(mark - 1)
            else:
                print(f"drive.py: no {rest} within 10 s", file=sys.stderr)
                failed = True
                break
        elif verb == "send":
            try:
                p.stdin.write(text + b"\n")
                p.stdin.flush()
            except BrokenPipeError:
                pass
        elif verb == "sleep":
            time.sleep(float(rest))
        elif verb == "signal":
            os.kill(p.pid, getattr(signal, "SIG" + rest))  # not Popen.send_signal, which may reap it
        elif verb == "sh":
            subprocess.run(rest, shell=True, env=env)
        elif verb in ("bound", "cpu", "gaps"):
            checks.append((verb, rest))
        else:
            sys.exit(f"drive.py: unknown step {step}")
        if label:
            events[label] = (started, when if verb == "wait" else time.monotonic(), cpu())

    if p.stdin:
        p.stdin.close()
    reaped = []  # a thread waits for the end, so that its time is exact
    reaper = threading.Thread(target=lambda: reaped.append((os.wait4(p.pid, 0), time.monotonic())), daemon=True)
    reaper.start()
    reaper.join(args.timeout)
    status = None
    if reaped:
        (_, wstatus, usage), ended = reaped[0]
        status = os.waitstatus_to_exitcode(wstatus)
        events["end"] = (0, ended, usage.ru_utime + usage.ru_stime)
    if status is None:
        p.kill()
    for helper in helpers:
        helper.kill()
        helper.wait()
    if args.server:
        shutil.rmtree(home, ignore_errors=True)
    out.thread.join(5)
    err.thread.join(5)

    text = out.data.decode(errors="replace").replace("\r", "\\r")
    print(text, end="" if text.endswith("\n") or not text else "\n")
    for line in err.data.decode(errors="replace").splitlines():
        print("!", line)
    print("= timeout" if status is None else f"= signal {-status}" if status < 0 else f"= {status}")
    for verb, rest in checks:
        words = rest.split()
        if verb == "bound":
            took = events[words[1]][1] - events[words[0]][1]
            ref, _, most = words[2].rpartition("+")
            most = float(most) + (events[ref][1] - events[ref][0] if ref else 0)
            least = float(words[3]) if len(words) > 3 else 0
            verdict = f"LATE {took - most:.3f} s" if took > most else f"EARLY {least - took:.3f} s" if took < least else f"in time ({took:.3f} s)"
        elif verb == "cpu":
            used = events[words[1]][2] - events[words[0]][2]
            verdict = f"idle ({used:.3f} s)" if used <= float(words[2]) else f"BUSY {used:.3f} s"
        else:
            pattern, most = rest.rsplit(" ", 1)
            pattern = pattern.encode().decode("unicode_escape").encode("latin-1")
            at, times = out.data.find(pattern), []
            while at >= 0:
                times.append(out.when(at + len(pattern) - 1))
                at = out.data.find(pattern, at + 1)
            worst = max((b - a for a, b in zip(times, times[1:])), default=0)
            verdict = f"in time ({worst:.3f} s)" if worst <= float(most) else f"LATE {worst - float(most):.3f} s"
        print(verb, *words[:2] if verb != "gaps" else [pattern.decode()], verdict)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
