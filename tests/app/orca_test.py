#!/usr/bin/python3
"""Orvelle heard through the Orca screen reader, as a blind listener hears it.

Starts openbox, the accessibility bus, Orca (with a private home, its own user settings and its
debug log) and the program against the demo service, then walks the window with real X key
presses and reads what Orca said at each step from the "SPEECH OUTPUT" lines of Orca's debug log:
the start, a Tab round, the channel arrows, play/pause twice, the next song, a song change by
itself, mute twice, the volume's Page Up, the lyrics (read-only), the notice (read line by line)
and a give-up.

Run it under dbus-run-session and tests/support/run-with-xvfb (CTest does).
Usage: orca_test.py PROGRAM DEMO_SERVICE [--keep-log FILE]
Prints what Orca said at every step. Exits 77 (CTest's skip code) with a message where Orca, the X
server, the session bus or the accessibility bus is missing, or where another Orca of this user
runs (Orca refuses to start beside it; this test never replaces it).
"""

import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from atspi_test import fail, skip, start_accessibility_bus, start_demo_service  # noqa: E402

# How long Orca gets to speak after a key before the step's speech is read, and how long a step
# waits at most for what it expects.
SETTLE_SECONDS = 1.5
WAIT_SECONDS = 8
# A song change must be spoken within this time.
SONG_CHANGE_SECONDS = 2.0
# The demo service's songs last 22 to 45 s; a song ends by itself within this time.
SONG_END_SECONDS = 50
# "SPEECH OUTPUT: 'text'" and the voice after it, e.g. "{'established': False}".
SPEECH_LINE = re.compile(r"SPEECH OUTPUT: '(.*?)'(?:\{.*\}| voice=.*)?$", re.MULTILINE)
SONG_CAPTION = re.compile(r"^(.+) – (.+)$")


# Starts /usr/bin/orca with its debug log written line by line: Orca writes the log through a
# buffered file, so that its last lines would come only with later output.
ORCA_LAUNCHER = """
import builtins, runpy, sys
log_path = sys.argv[1]
plain_open = builtins.open
def open(file, mode="r", *arguments, **options):
    if file == log_path:
        options["buffering"] = 1
    return plain_open(file, mode, *arguments, **options)
builtins.open = open
sys.argv = ["orca", "--user-prefs", sys.argv[2], "--debug-file", log_path]
runpy.run_path("/usr/bin/orca", run_name="__main__")
"""


class Orca:
    """Orca on the current display and session, with a private home and its debug log."""

    def __init__(self, home):
        self.log_path = os.path.join(home, "orca-debug.out")
        prefs = os.path.join(home, "orca-prefs")
        os.makedirs(prefs)
        self.process = subprocess.Popen(
            ["/usr/bin/python3", "-c", ORCA_LAUNCHER, self.log_path, prefs],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        self.read_up_to = 0

    def speech(self):
        """The utterances Orca logged since the last call."""
        try:
            with open(self.log_path, encoding="utf-8", errors="replace") as log:
                log.seek(self.read_up_to)
                text = log.read()
        except FileNotFoundError:
            return []
        # Only whole lines: a line still being written is read next time.
        end = text.rfind("\n") + 1
        self.read_up_to += len(text[:end].encode("utf-8", errors="replace"))
        return [m.group(1) for m in SPEECH_LINE.finditer(text[:end])]

    def stop(self):
        # Our own Orca only, by its process group: it was started in a session of its own.
        try:
            os.killpg(self.process.pid, signal.SIGTERM)
            self.process.wait(10)
        except (ProcessLookupError, subprocess.TimeoutExpired):
            try:
                os.killpg(self.process.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass


def private_home():
    """A home of its own, so that Orca and speech-dispatcher read and write nothing of the user's."""
    home = tempfile.mkdtemp(prefix="orvelle-orca-")
    runtime = os.path.join(home, "runtime")
    os.makedirs(runtime, mode=0o700)
    for name in ("config", "data", "cache"):
        os.makedirs(os.path.join(home, name))
    os.environ.update(HOME=home, XDG_CONFIG_HOME=os.path.join(home, "config"),
                      XDG_DATA_HOME=os.path.join(home, "data"), XDG_CACHE_HOME=os.path.join(home, "cache"),
                      XDG_RUNTIME_DIR=runtime)
    return home


def key(*names):
    subprocess.run(["xdotool", "key", "--delay", "80", *names], check=True)


def add_fault(base, fault):
    request = urllib.request.Request(base + "/_demo/faults", data=json.dumps(fault).encode(), method="POST")
    urllib.request.urlopen(request, timeout=5).read()


class Walk:
    """The steps of the walk, each with what Orca said."""

    def __init__(self, orca):
        self.orca = orca
        self.heard = []

    def step(self, title, *keys, settle=SETTLE_SECONDS, until=None, timeout=WAIT_SECONDS):
        """Presses the keys and returns what Orca said: until it says something `until` accepts
        (at most `timeout` seconds; Orca lags behind on a busy machine), else for `settle` seconds."""
        if until:
            return self.wait_for_speech(title, until, timeout, *keys)
        self.orca.speech()
        if keys:
            key(*keys)
        time.sleep(settle)
        said = self.orca.speech()
        self.report(title, said)
        return said

    def report(self, title, said):
        self.heard.append((title, said))
        print("%-28s %s" % (title + ":", " | ".join(said) or "(nothing)"), flush=True)

    def wait_for_speech(self, title, predicate, seconds, *keys):
        """Presses the keys, then waits until Orca says something the predicate accepts; returns all
        said meanwhile."""
        said = []
        if keys:
            self.orca.speech()
            key(*keys)
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            said += self.orca.speech()
            if any(predicate(s) for s in said):
                break
            time.sleep(0.1)
        time.sleep(0.5)
        said += self.orca.speech()
        self.report(title, said)
        return said


# What the walk found wrong; the walk goes on to its end, so that one run shows every fault.
FAULTS = []


def expect(condition, message, said):
    if not condition:
        FAULTS.append("%s (Orca said: %s)" % (message, " | ".join(said) or "nothing"))
        print("  ^ FAULT: " + message, flush=True)


def songs_in(said):
    """The song changes Orca spoke: "title – singer" (as a notification, or as the window's name)."""
    return [s for s in said if SONG_CAPTION.search(s) and "无法连接到电台" not in s]


def is_notice_line(said):
    """A line of the notice after its first (the wrapped rest of it, or a later one)."""
    return not said.startswith(("本软件", "notification")) and ("Kestra" in said or "FM" in said or "请支持" in said)


def tab_to(walk, name, keys="Tab", tries=12):
    """Presses Tab until Orca speaks a stop whose text starts with the name; returns what it said."""
    said = []
    for _ in range(tries):
        said = walk.step("%s to %s" % (keys, name), keys, until=lambda s: "push button" in s or " slider" in s
                         or " combo box" in s or " label" in s or " text" in s or s.startswith(name))
        if any(s.startswith(name) for s in said):
            return said
    return said


def check_walk(walk, base):
    # Start: the window, the first song and the keyboard on the play/pause button.
    said = walk.wait_for_speech("start", lambda s: "push button" in s, 20)
    said += walk.step("start, settled", settle=3)
    expect(any(s.startswith("Orvelle") or "frame" in s for s in said), "the window was not announced", said)
    expect(songs_in(said), "the first song's title and singer were not spoken", said)
    expect(any(s.startswith("暂停 push button") for s in said), "the keyboard does not start on 暂停", said)

    # A Tab round: every stop is spoken, the remaining time as a time.
    round_said = []
    for _ in range(8):
        round_said += walk.step("Tab", "Tab")
    expect(any(re.search(r"剩余 \d+ 分 \d+ 秒", s) for s in round_said), "the remaining time was not read as a time",
           round_said)
    for name in ("下一首", "静音", "音量 slider", "声明", "频道 combo box", "歌词", "暂停"):
        expect(any(s.startswith(name) for s in round_said), "the Tab round did not reach %s" % name, round_said)
    expect(not any(re.search(r"- \d+ :\d\d", s) for s in round_said), "the raw time caption was spoken", round_said)

    # Shift+Tab from the notice button reaches the volume slider.
    tab_to(walk, "声明")
    said = walk.step("Shift+Tab from 声明", "shift+Tab", until=lambda s: "slider" in s or "button" in s)
    expect(any(s.startswith("音量 slider") for s in said), "Shift+Tab from 声明 did not reach the volume slider", said)

    # The channel arrows: each channel is spoken as it is chosen, also in the open list.
    said = tab_to(walk, "频道")
    expect(any("Kestra精选" in s for s in said), "the channel list did not speak its channel", said)
    said = walk.step("Down on 频道", "Down", until=lambda s: s.startswith("新歌"))
    expect(any(s.startswith("新歌") for s in said), "Down on the channel list did not speak 新歌", said)
    said = walk.step("Down on 频道", "Down", until=lambda s: s.startswith("世界音乐"))
    expect(any(s.startswith("世界音乐") for s in said), "Down on the channel list did not speak 世界音乐", said)
    said = walk.step("Up on 频道", "Up", until=lambda s: s.startswith("新歌"))
    expect(any(s.startswith("新歌") for s in said), "Up on the channel list did not speak 新歌", said)
    walk.step("Alt+Down opens the list", "alt+Down")
    said += walk.step("Down in the open list", "Down", until=lambda s: s.startswith("世界音乐"))
    expect(any(s.startswith("世界音乐") for s in said), "walking the open list did not speak its rows", said)
    said = walk.step("Up in the open list", "Up", until=lambda s: s.startswith("新歌"))
    expect(any(s.startswith("新歌") for s in said), "walking the open list did not speak its rows", said)
    walk.step("Escape closes the list", "Escape", until=lambda s: "combo box" in s)

    # Play/pause twice, from its button: the new state every time.
    tab_to(walk, "暂停")
    said = walk.step("Space: pause", "space", until=lambda s: "已暂停" in s)
    expect(any("已暂停" in s for s in said), "pausing did not speak 已暂停", said)
    said = walk.step("Space: play", "space", until=lambda s: "正在播放" in s)
    expect(any("正在播放" in s for s in said), "resuming did not speak 正在播放", said)

    # The next song, with N: its title and singer, once, within 2 s; nothing after it.
    said = walk.step("N: next song", "n", settle=SONG_CHANGE_SECONDS)
    expect(len(songs_in(said)) == 1, "N did not speak the next song's title and singer once", said)
    said = walk.step("the seconds after", settle=3)
    expect(not said, "something was spoken after the song change", said)

    # A song change by itself: spoken once, and nothing per countdown second before it.
    said = walk.wait_for_speech("the song ends by itself", lambda s: songs_in([s]), SONG_END_SECONDS)
    expect(len(songs_in(said)) == 1 and len(said) == 1, "the song change by itself was not spoken once, alone", said)

    # Mute twice, with M.
    said = walk.step("M: mute", "m", until=lambda s: "已静音" in s)
    expect(any("已静音" in s for s in said), "muting did not speak 已静音", said)
    said = walk.step("M: unmute", "m", until=lambda s: "已取消静音" in s)
    expect(any("已取消静音" in s for s in said), "unmuting did not speak 已取消静音", said)

    # The volume slider: Page Up by 10.
    said = tab_to(walk, "音量 slider")
    value = re.search(r"音量 slider (\d+)", " ".join(said))
    said = walk.step("Page Up on 音量", "Prior", until=lambda s: s[:1].isdigit())
    expect(value and any(s.startswith(str(min(int(value.group(1)) + 10, 200))) for s in said),
           "Page Up did not raise the volume by 10", said)

    # The lyrics: read-only and readable; the window's keys work inside.
    said = walk.step("L: lyrics open", "l", settle=2.5)
    said = tab_to(walk, "歌词文本")
    expect(any(s.startswith("歌词文本 read only") for s in said), "the lyrics text is not read-only", said)
    said = walk.step("M in the lyrics: mute", "m", until=lambda s: "已静音" in s)
    expect(any("已静音" in s for s in said), "M did not mute from the lyrics text", said)
    walk.step("M in the lyrics: unmute", "m", until=lambda s: "已取消静音" in s)
    walk.step("L in the lyrics: close", "l", settle=2.0)

    # The notice, read line by line from its first line.
    tab_to(walk, "声明")
    said = walk.step("Enter: the notice", "Return", until=lambda s: s.startswith("本软件"))
    expect(any(s.startswith("本软件为交流学习经验实验之用") for s in said), "the notice's first line was not read", said)
    said = walk.step("Down in the notice", "Down", until=is_notice_line)
    expect(any(is_notice_line(s) for s in said), "Down in the notice did not read the next line", said)
    walk.step("Escape closes the notice", "Escape", until=lambda s: "push button" in s)

    # A give-up: its heading and reason, once.
    add_fault(base, {"target": "playlist", "kind": "status", "status": 503, "count": 5})
    said = walk.wait_for_speech("N: the service fails", lambda s: "无法连接到电台" in s, 15, "n")
    said += walk.step("the give-up, settled", settle=3)
    gave_up = [s for s in said if "无法连接到电台" in s]
    expect(len(gave_up) == 1 and "503" in gave_up[0], "the give-up was not spoken once with its heading and reason",
           said)


def main():
    arguments = sys.argv[1:]
    keep_log = None
    if "--keep-log" in arguments:
        index = arguments.index("--keep-log")
        keep_log = arguments[index + 1]
        del arguments[index:index + 2]
    if len(arguments) != 2:
        fail(__doc__)
    program, demo_service = arguments
    if not shutil.which("orca"):
        skip("Orca is not installed (scripts/setup installs it)")
    others = subprocess.run(["pgrep", "-u", str(os.getuid()), "-x", "orca"], capture_output=True, text=True)
    if others.stdout.strip():
        skip("another Orca of this user runs (pid %s); Orca refuses to start beside it, and this test "
             "never replaces it" % others.stdout.split())
    if not os.environ.get("DBUS_SESSION_BUS_ADDRESS"):
        skip("no session bus (run under dbus-run-session)")
    if os.environ.get("QT_QPA_PLATFORM") != "xcb" or not os.environ.get("DISPLAY"):
        skip("no X server (Orca and Qt's accessibility bridge need one)")
    for tool in ("openbox", "xdotool"):
        if not shutil.which(tool):
            skip("%s is not installed (scripts/setup installs it)" % tool)

    home = private_home()
    started = []
    try:
        window_manager = subprocess.Popen(["openbox"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        started.append(window_manager)
        started.append(start_accessibility_bus())
        orca = Orca(home)
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline and "About to launch Orca" not in open_text(orca.log_path):
            time.sleep(0.2)
        time.sleep(2)
        service, base = start_demo_service(demo_service)
        started.append(service)
        environment = dict(os.environ, ORVELLE_SERVICE_URL=base, ORVELLE_AUDIO_OUTPUT="null")
        started.append(subprocess.Popen([program], env=environment))
        try:
            check_walk(Walk(orca), base)
        finally:
            if keep_log and os.path.exists(orca.log_path):
                shutil.copy(orca.log_path, keep_log)
            orca.stop()
        if FAULTS:
            fail("Orca's listener missed:\n  " + "\n  ".join(FAULTS))
    finally:
        for process in reversed(started):
            process.terminate()
            try:
                process.wait(10)
            except subprocess.TimeoutExpired:
                process.kill()
        shutil.rmtree(home, ignore_errors=True)
    print("PASS", flush=True)


def open_text(path):
    try:
        with open(path, encoding="utf-8", errors="replace") as log:
            return log.read()
    except FileNotFoundError:
        return ""


if __name__ == "__main__":
    main()
