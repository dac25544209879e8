#!/usr/bin/env python3
# Runs a program through steps a shell pipe cannot take, and prints a log for FileCheck:
#   drive.py [--server pulse|pipewire] [--steps FILE:PREFIX] [--timeout S] PROGRAM [ARG...]
# The log: the program's output ("\r" as "\\r"), its standard error as "! LINE", "status S" (or
# "signal N", "timeout"), then a line per check. --server runs it on a private sound server with a
# null sink ($SERVER is its PID; paced_file:'PATH' records into PATH as it plays). Steps are the
# "PREFIX> STEP ; STEP..." lines of FILE ($NAME from the environment; \n and \r in texts):
#   wait TEXT            until TEXT shows after the last match and the last action (10 s at most)
#   menu                 waits for the menu's last line
#   send TEXT            types TEXT and a line end
#   sleep S | signal NAME | sh COMMAND ($PID is the program)
#   write SRC DEST N MS  rewrites DEST as a renderer does: SRC's header with a data size of 0, its
#                        data in N pieces MS ms apart, then the sizes
#   bound A B MAX [MIN]  B came at most MAX s (at least MIN s) after A; MAX may be REF+S: what step
#                        REF took, plus S
#   cpu A B MAX          the program used at most MAX s of CPU from A to B
#   gaps TEXT MAX        no two TEXTs in a row came more than MAX s apart
# "@LABEL STEP" keeps when the step began, when it happened (a wait: its text came; an action: it
# began; else: it ended) and the program's CPU time; "end" is the program's end.
import os, re, shutil, signal, subprocess, sys, tempfile, threading, time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scripts"))
from servers import child, start_server, until  # noqa: E402


def reader(pipe, out):  # appends what comes to out["data"], and when each piece came to out["times"]
    while chunk := os.read(pipe.fileno(), 65536):
        out["times"].append((len(out["data"]) + len(chunk), time.monotonic()))
        out["data"] += chunk
    out["done"] = True


def main(args):
    options, env, helpers, events, checks, mark = {}, dict(os.environ), [], {}, [], 0
    while args[0].startswith("--"):
        options[args[0][2:]], args = args[1], args[2:]
    if home := "server" in options and tempfile.mkdtemp(prefix="zuvaroza-"):  # short: a socket's path has a limit
        start_server(options["server"], env, home, helpers)
    path, _, prefix = options.get("steps", ":").rpartition(":")
    steps = [s.strip() for line in open(path) if line.startswith(prefix + ">") for s in line[len(prefix) + 1 :].split(" ; ")] if path else []
    p = subprocess.Popen(args, env=env, stdin=subprocess.PIPE if steps else None, stdout=subprocess.PIPE,
                         stderr=subprocess.PIPE, preexec_fn=child, bufsize=0)  # what is sent goes at once
    env["PID"], out, err = str(p.pid), dict(data=b"", times=[], done=False), dict(data=b"", times=[], done=False)
    for pipe in (p.stdout, out), (p.stderr, err):
        threading.Thread(target=reader, args=pipe, daemon=True).start()
    when = lambda offset: next(t for size, t in out["times"] if size > offset)  # when that byte of output came
    cpu = lambda: sum(map(int, open(f"/proc/{p.pid}/stat").read().rsplit(")", 1)[1].split()[11:13])) / os.sysconf("SC_CLK_TCK")
    for step in steps:
        label, step = step[1:].split(" ", 1) if step.startswith("@") else (None, step)
        verb, _, rest = os.path.expandvars(step).partition(" ")
        verb, rest = ("wait", "'+' to show additional commands\\n") if verb == "menu" else (verb, rest)
        text, started = rest.encode().decode("unicode_escape").encode("latin-1"), time.monotonic()
        if verb in ("send", "signal", "sh", "write"):  # a wait after it looks only at what came after it
            mark = max(mark, len(out["data"]))
        if verb == "wait":
            until(lambda: out["data"].find(text, mark) >= 0 or out["done"])
            if out["data"].find(text, mark) < 0:
                sys.exit(f"drive.py: no {rest} in:\n{out['data'].decode(errors='replace')}")
            mark = out["data"].find(text, mark) + len(text)
        elif verb == "send":
            try:
                p.stdin.write(text + b"\n")
            except BrokenPipeError:  # the program has ended: its status tells
                pass
        elif verb == "sleep":
            time.sleep(float(rest))
        elif verb == "signal":  # not Popen.send_signal, which may reap the program
            os.kill(p.pid, getattr(signal, "SIG" + rest))
        elif verb == "sh" and subprocess.run(rest, shell=True, env=env).returncode:
            sys.exit(f"drive.py: {rest} failed")
        elif verb == "write":
            src, dest, n, ms = rest.split()
            data = open(src, "rb").read()
            at = data.find(b"data") + 8
            cuts = [at + i * (len(data) - at) // int(n) for i in range(int(n) + 1)]
            with open(dest, "wb", buffering=0) as f:
                f.write(data[: at - 4] + bytes(4))
                for first, last in zip(cuts, cuts[1:]):
                    time.sleep(int(ms) / 1000)
                    f.write(data[first:last])
                os.pwrite(f.fileno(), data[at - 4 : at], at - 4)
        elif verb != "sh":
            checks.append((verb, rest.split()))
        if label:
            # an action's moment is when it began: a sh step may return long after what it did was seen
            at = when(mark - 1) if verb == "wait" else started if verb in ("send", "signal", "sh", "write") else None
            events[label] = (started, at or time.monotonic(), time.monotonic(), cpu())

    if p.stdin:
        try:
            p.stdin.close()
        except BrokenPipeError:
            pass
    reaped = []  # a thread waits for the end, so that its time is exact
    threading.Thread(target=lambda: reaped.append((os.wait4(p.pid, 0), time.monotonic())), daemon=True).start()
    until(lambda: reaped, float(options.get("timeout", 20)))
    reaped = reaped[:1]  # a program killed for its time is no status
    for process in helpers + ([] if reaped else [p]):
        process.kill()
    if home:
        shutil.rmtree(home, ignore_errors=True)
    until(lambda: out["done"] and err["done"], 5)
    text = out["data"].decode(errors="replace").replace("\r", "\\r")
    print(text, end="" if text.endswith("\n") or not text else "\n")
    for line in err["data"].decode(errors="replace").splitlines():
        print("!", line)
    if not reaped:
        print("status timeout")
        return
    (_, status, usage), ended = reaped[0]
    status, events["end"] = os.waitstatus_to_exitcode(status), (0, ended, ended, usage.ru_utime + usage.ru_stime)
    print(f"status signal {-status}" if status < 0 else f"status {status}")
    for verb, words in checks:  # a line for each check
        if verb == "bound":
            took, (ref, _, most) = events[words[1]][1] - events[words[0]][1], words[2].rpartition("+")
            most, least = float(most) + (events[ref][2] - events[ref][0] if ref else 0), float((words + ["-inf"])[3])
            print(verb, *words[:2], f"LATE {took - most:.3f} s" if took > most else
                  f"EARLY {least - took:.3f} s" if took < least else f"in time ({took:.3f} s)")
        elif verb == "cpu":
            used = events[words[1]][3] - events[words[0]][3]
            print(verb, *words[:2], f"idle ({used:.3f} s)" if used <= float(words[2]) else f"BUSY {used:.3f} s")
        else:
            text, most = " ".join(words[:-1]), float(words[-1])
            times = [when(m.start()) for m in re.finditer(re.escape(text.encode()), out["data"])]
            worst = max((b - a for a, b in zip(times, times[1:])), default=0)
            print(verb, text, f"in time ({worst:.3f} s)" if worst <= most else f"LATE {worst - most:.3f} s")


if __name__ == "__main__":
    main(sys.argv[1:])
