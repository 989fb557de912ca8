"""A private desktop for measuring a player: an Xvfb server, optionally a window manager, a session
bus, a PulseAudio server with a null sink, the demo service, and what the measurements read from
them (the X server's MapNotify, XTest pointer input, /proc figures, the demo service's request log).

Used by bench/desktop/desktop_bench (Orvelle against Goodvibes) and bench/desktop/at_rest (what
Orvelle does while nothing changes). Builds nothing: the programs are taken as built.
"""

import ctypes
import json
import os
import select
import shutil
import signal
import subprocess
import tempfile
import time
import urllib.request

# ---- the X server, through libX11 and the XTest extension --------------------------------------

MAP_NOTIFY = 19
SUBSTRUCTURE_NOTIFY_MASK = 1 << 19
SUBSTRUCTURE_REDIRECT_MASK = 1 << 20
CLIENT_MESSAGE = 33
ICONIC_STATE = 3


class _XMapEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("event", ctypes.c_ulong), ("window", ctypes.c_ulong),
                ("override_redirect", ctypes.c_int)]


class _XClientMessageEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class _XEvent(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("map", _XMapEvent), ("client", _XClientMessageEvent),
                ("pad", ctypes.c_long * 24)]


def _load_x():
    x11 = ctypes.CDLL("libX11.so.6")
    xtst = ctypes.CDLL("libXtst.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x11.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
    x11.XConnectionNumber.argtypes = [ctypes.c_void_p]
    x11.XPending.argtypes = [ctypes.c_void_p]
    x11.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.POINTER(_XEvent)]
    x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.POINTER(_XEvent)]
    x11.XTranslateCoordinates.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                          ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_int),
                                          ctypes.POINTER(ctypes.c_ulong)]
    xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_ulong]
    xtst.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
    return x11, xtst


class XConnection:
    """One connection to the X server that watches the root window's children being mapped."""

    def __init__(self, display):
        self.x11, self.xtst = _load_x()
        self.display_name = display
        self.display = self.x11.XOpenDisplay(display.encode())
        if not self.display:
            raise RuntimeError(f"cannot open X display {display}")
        self.root = self.x11.XDefaultRootWindow(self.display)
        self.x11.XSelectInput(self.display, self.root, SUBSTRUCTURE_NOTIFY_MASK)
        self.x11.XSync(self.display, 0)
        self.fd = self.x11.XConnectionNumber(self.display)

    def close(self):
        if self.display:
            self.x11.XCloseDisplay(self.display)
            self.display = None

    def drain(self):
        """Forgets the events received so far."""
        event = _XEvent()
        while self.x11.XPending(self.display):
            self.x11.XNextEvent(self.display, ctypes.byref(event))

    def wait_for_map(self, timeout):
        """The monotonic time at which the server reported the next top-level window (not an
        override-redirect one: menus, tooltips) mapped, and that window; None on time-out."""
        deadline = time.monotonic() + timeout
        event = _XEvent()
        while True:
            while self.x11.XPending(self.display):
                self.x11.XNextEvent(self.display, ctypes.byref(event))
                if event.type == MAP_NOTIFY and not event.map.override_redirect:
                    return time.monotonic(), event.map.window
            left = deadline - time.monotonic()
            if left <= 0:
                return None
            select.select([self.fd], [], [], left)

    def window_origin(self, window):
        """Where a window's (0, 0) lies on the screen."""
        x, y, child = ctypes.c_int(), ctypes.c_int(), ctypes.c_ulong()
        self.x11.XTranslateCoordinates(self.display, window, self.root, 0, 0, ctypes.byref(x), ctypes.byref(y),
                                       ctypes.byref(child))
        return x.value, y.value

    def move_pointer(self, x, y):
        self.xtst.XTestFakeMotionEvent(self.display, -1, x, y, 0)
        self.x11.XSync(self.display, 0)

    def click(self, x, y, settle=0.05):
        """A real left click at (x, y); returns the monotonic time at which the server has taken
        the release."""
        self.move_pointer(x, y)
        time.sleep(settle)
        self.xtst.XTestFakeButtonEvent(self.display, 1, 1, 0)
        self.x11.XSync(self.display, 0)
        time.sleep(settle)
        self.xtst.XTestFakeButtonEvent(self.display, 1, 0, 0)
        self.x11.XSync(self.display, 0)
        return time.monotonic()

    def iconify(self, window):
        """Asks the window manager to minimise a client window (ICCCM WM_CHANGE_STATE)."""
        event = _XEvent()
        event.client.type = CLIENT_MESSAGE
        event.client.window = window
        event.client.message_type = self.x11.XInternAtom(self.display, b"WM_CHANGE_STATE", 0)
        event.client.format = 32
        event.client.data[0] = ICONIC_STATE
        self.x11.XSendEvent(self.display, self.root, 0, SUBSTRUCTURE_REDIRECT_MASK | SUBSTRUCTURE_NOTIFY_MASK,
                            ctypes.byref(event))
        self.x11.XSync(self.display, 0)


# ---- /proc figures -----------------------------------------------------------------------------

CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


def _stat_fields(path):
    with open(path) as f:
        text = f.read()
    # The name (field 2) may hold spaces; the fields after it start behind its closing parenthesis.
    name = text[text.index("(") + 1:text.rindex(")")]
    return name, text[text.rindex(")") + 2:].split()


def process_ticks(pid):
    """User and system CPU time of the whole process, in clock ticks (threads that ended included)."""
    _, fields = _stat_fields(f"/proc/{pid}/stat")
    return int(fields[11]) + int(fields[12])


# Threads that carry the sound in Orvelle: GStreamer's streaming threads (named after the element
# and pad they run: the download "souphttpsrc0:src", the player's source "source:src", the output's
# queue "aqueue:src", the decoder's queues and type finding), GStreamer's task pool, PulseAudio's
# client loop.
AUDIO_THREAD_PREFIXES = ("souphttpsrc", "source:", "aqueue", "multiqueue", "typefind", "queue", "pool-",
                         "threaded-ml", "pulse", "audiosink")


def is_audio_thread(name):
    return name.lower().startswith(AUDIO_THREAD_PREFIXES)


def thread_figures(pid):
    """Per thread: {tid: (name, CPU ticks, voluntary context switches, involuntary ones)}."""
    threads = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            name, fields = _stat_fields(f"/proc/{pid}/task/{tid}/stat")
            voluntary = involuntary = 0
            with open(f"/proc/{pid}/task/{tid}/status") as f:
                for line in f:
                    if line.startswith("voluntary_ctxt_switches:"):
                        voluntary = int(line.split()[1])
                    elif line.startswith("nonvoluntary_ctxt_switches:"):
                        involuntary = int(line.split()[1])
            threads[int(tid)] = (name, int(fields[11]) + int(fields[12]), voluntary, involuntary)
        except (FileNotFoundError, ProcessLookupError, ValueError):
            continue  # the thread ended meanwhile
    return threads


def memory_kib(pid):
    """Resident and proportional set size of the process, in KiB."""
    figures = memory_figures_kib(pid)
    return figures["Rss"], figures["Pss"]


def memory_figures_kib(pid):
    """The process's memory totals from /proc/PID/smaps_rollup, in KiB: Rss, Pss, Anonymous (the
    heap and the other private pages no file backs) and the rest of its lines."""
    figures = {}
    with open(f"/proc/{pid}/smaps_rollup") as f:
        for line in f:
            key, _, rest = line.partition(":")
            if rest.strip().endswith("kB"):
                figures[key] = int(rest.split()[0])
    return figures


def thread_cpu_ns(pid):
    """Per thread of the process: {tid: nanoseconds it ran}, the scheduler's exact count
    (/proc/PID/task/TID/schedstat), which clock ticks are too coarse for below a percent."""
    times = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{tid}/schedstat") as f:
                times[int(tid)] = int(f.read().split()[0])
        except (FileNotFoundError, ProcessLookupError, ValueError):
            continue  # the thread ended meanwhile
    return times


# ---- the private desktop -----------------------------------------------------------------------


class Desktop:
    """Xvfb (and openbox when asked), a session bus and a PulseAudio null sink, all private to one
    temporary folder; stopped in reverse order by close()."""

    def __init__(self, window_manager=False, screen="1280x800x24"):
        self.folder = tempfile.mkdtemp(prefix="orvelle-desktop-bench.")
        self.processes = []
        self.env = dict(os.environ)
        for key in ("DBUS_SESSION_BUS_ADDRESS", "PULSE_SERVER", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM",
                    "ORVELLE_AUDIO_OUTPUT", "XDG_SESSION_TYPE"):
            self.env.pop(key, None)
        runtime = os.path.join(self.folder, "runtime")
        os.makedirs(runtime, mode=0o700)
        self.env.update(HOME=self.folder, XDG_RUNTIME_DIR=runtime, XDG_CONFIG_HOME=os.path.join(self.folder, "config"),
                        XDG_CACHE_HOME=os.path.join(self.folder, "cache"),
                        XDG_DATA_HOME=os.path.join(self.folder, "data"))
        try:
            self._start_x(screen)
            if window_manager:
                self._start(["openbox", "--sm-disable"])
                time.sleep(0.5)
            self._start_bus()
            self._start_pulseaudio()
        except BaseException:
            self.close()
            raise

    def _start(self, command, **kwargs):
        process = subprocess.Popen(command, env=self.env, stdin=subprocess.DEVNULL,
                                   stdout=kwargs.pop("stdout", subprocess.DEVNULL),
                                   stderr=kwargs.pop("stderr", subprocess.DEVNULL), **kwargs)
        self.processes.append(process)
        return process

    def _start_x(self, screen):
        read, write = os.pipe()
        self.x_server = self._start(["Xvfb", "-displayfd", str(write), "-screen", "0", screen, "-nolisten", "tcp", "-noreset"],
                    pass_fds=[write])
        os.close(write)
        with os.fdopen(read) as f:
            number = f.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.env["DISPLAY"] = f":{number}"

    def _start_bus(self):
        process = self._start(["dbus-daemon", "--session", "--nofork", "--print-address=1"], stdout=subprocess.PIPE,
                              text=True)
        address = process.stdout.readline().strip()
        if not address:
            raise RuntimeError("the session bus did not start")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address

    def _start_pulseaudio(self):
        socket = os.path.join(self.folder, "pulse-native")
        # A sound server as a desktop runs it: an idle sink is suspended after 5 s (Debian's
        # default.pa loads module-suspend-on-idle; PipeWire suspends idle nodes alike), which is
        # what lets a client's paused stream stop its timing updates.
        self._start(["pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no", "--disallow-exit",
                     "-n", "--load=module-null-sink sink_name=bench", f"--load=module-native-protocol-unix socket={socket}",
                     "--load=module-suspend-on-idle"])
        self.env["PULSE_SERVER"] = f"unix:{socket}"
        deadline = time.monotonic() + 10
        while subprocess.run(["pactl", "info"], env=self.env, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL).returncode != 0:
            if time.monotonic() > deadline:
                raise RuntimeError("PulseAudio did not start")
            time.sleep(0.1)

    def start(self, command, extra_env=None, log=None):
        """Starts a program on this desktop."""
        env = dict(self.env)
        env.update(extra_env or {})
        out = open(log, "w") if log else subprocess.DEVNULL
        return subprocess.Popen(command, env=env, stdin=subprocess.DEVNULL, stdout=out, stderr=out,
                                start_new_session=True)

    def close(self):
        for process in reversed(self.processes):
            stop(process)
        self.processes = []
        shutil.rmtree(self.folder, ignore_errors=True)


def stop(process, timeout=5):
    """Ends a program this script started (its own session, so helpers it started go with it)."""
    if process.poll() is not None:
        return
    try:
        os.killpg(process.pid, signal.SIGTERM) if os.getpgid(process.pid) == process.pid else process.terminate()
    except ProcessLookupError:
        return
    try:
        process.wait(timeout)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


# ---- the demo service --------------------------------------------------------------------------


class DemoService:
    """The bundled demo service on a free loopback port, with its request log."""

    def __init__(self, program):
        self.process = subprocess.Popen([program, "--port", "0"], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL, text=True)
        self.url = self.process.stdout.readline().strip()
        if not self.url:
            raise RuntimeError("the demo service did not start")

    def requests(self):
        with urllib.request.urlopen(self.url + "/_demo/requests", timeout=5) as answer:
            return json.load(answer)["requests"]

    def clear_requests(self):
        urllib.request.urlopen(urllib.request.Request(self.url + "/_demo/requests", method="DELETE"), timeout=5).close()

    def audio_requests(self):
        return [r for r in self.requests() if r["target"].startswith("/audio/")]

    def wait_for_audio_request(self, after_us=0, timeout=30):
        """The first audio request received after the given monotonic time (in microseconds)."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            for request in self.audio_requests():
                if request["received_us"] > after_us:
                    return request
            time.sleep(0.005)
        return None

    def close(self):
        stop(self.process)


def find_program(candidates):
    for path in candidates:
        if os.path.isfile(path) and os.access(path, os.X_OK):
            return path
    raise SystemExit(f"not found: {' or '.join(candidates)} (build the release program first: "
                     "cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DORVELLE_BENCH=OFF && "
                     "cmake --build build/release --target orvelle orvelle-demo-service)")


def release_programs(root):
    build = os.path.join(root, "build", "release")
    orvelle = find_program([os.path.join(build, "src", "app", "orvelle"), os.path.join(build, "orvelle")])
    service = find_program([os.path.join(build, "tools", "demo-service", "orvelle-demo-service"),
                            os.path.join(build, "orvelle-demo-service")])
    return orvelle, service
