# Starts a private sound server for the paced tests (tests/drive.py) and bench/realtime.sh: a
# PulseAudio or a PipeWire server with a null sink that plays in real time, with no sound card,
# as root, with no system bus or display, in a directory of its own; stopped by its PID.
import ctypes, os, signal, socket, subprocess, sys, time


def child():  # a case ended by its timeout leaves nothing playing; lit ignores Ctrl-C, the program must not
    ctypes.CDLL(None).prctl(1, signal.SIGKILL)
    signal.signal(signal.SIGINT, signal.SIG_DFL)


def until(test, seconds=10):
    end = time.monotonic() + seconds
    while not test() and time.monotonic() < end:
        time.sleep(0.01)
    return test()


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
    if until(lambda: run("pactl info").returncode == 0):
        spawn("parec", "-d", "nul.monitor", "--latency-msec=20", "/dev/null")
        if until(lambda: run("pactl list short source-outputs").stdout.strip()) and \
                not run("pactl suspend-sink nul 1 && pactl suspend-sink nul 0").returncode:
            return server


def start_pipewire(home, env, spawn, run):
    for name, text in PIPEWIRE_CONF.items():
        os.makedirs(os.path.dirname(f"{home}/{name}"), exist_ok=True)
        open(f"{home}/{name}", "w").write(text + "\n")
    env.update(PIPEWIRE_RUNTIME_DIR=home, XDG_CONFIG_HOME=home, DBUS_SESSION_BUS_ADDRESS=f"unix:path={home}/bus",
               ALSA_CONFIG_PATH="/usr/share/alsa/alsa.conf:" + PIPEWIRE_ALSA)
    # each starts when the one before it listens: wireplumber ends at once without a session bus or pipewire
    spawn("dbus-daemon", "--session", "--nofork", "--address=" + env["DBUS_SESSION_BUS_ADDRESS"])
    server = os.path.exists(PIPEWIRE_ALSA) and until(lambda: listening(home + "/bus")) and spawn("pipewire")
    if server and until(lambda: listening(home + "/pipewire-0")):
        spawn("wireplumber")
        if until(lambda: "nul:playback_FR" in run("pw-link -i").stdout
                 and '"nul"' in run("pw-metadata 0 default.audio.sink").stdout):
            return server


def start_server(kind, env, home, helpers):
    env.update(HOME=home, XDG_RUNTIME_DIR=home)
    open(home + "/.asoundrc", "w").write('pcm.paced_file { @args [ FILE ] @args.FILE { type string }\n'
                                         f'  type file slave.pcm "{kind}" file $FILE format "raw" }}\n')
    log = open(home + "/log", "w")
    run = lambda command: subprocess.run(command, shell=True, env=env, capture_output=True, text=True)
    spawn = lambda *command: helpers.insert(0, subprocess.Popen(command, env=env, stdout=log, stderr=log,
                                                                preexec_fn=child)) or helpers[0]  # stopped last first
    server = (start_pulse if kind == "pulse" else start_pipewire)(home, env, spawn, run)
    if not server:
        sys.exit(f"could not start a private {kind} server (scripts/setup.sh installs what it needs); "
                 f"its log:\n{open(home + '/log').read()}")
    env["SERVER"] = str(server.pid)
