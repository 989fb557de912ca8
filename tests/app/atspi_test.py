#!/usr/bin/python3
"""Orvelle through the desktop's accessibility bus (AT-SPI), as a screen reader meets it.

Runs the program binary against the demo service on a private session bus (started by CTest with
dbus-run-session) and a private X server, starts the accessibility bus on that session, and checks
with pyatspi: every visible button, combo box and slider has a name, every button can be pressed,
and a new song is announced: a notification of the window with its title and singer appears, and
the title label's name changes.

Usage: atspi_test.py PROGRAM DEMO_SERVICE
Exits 77 (CTest's skip code) with a message where the X server, the session bus or the
accessibility bus cannot start.
"""

import os
import subprocess
import sys
import tempfile
import time

SKIP = 77
WAIT_SECONDS = 30


def skip(message):
    print("SKIP: " + message, flush=True)
    sys.exit(SKIP)


def fail(message):
    print("FAIL: " + message, flush=True)
    sys.exit(1)


def session_bus_call(*arguments):
    return subprocess.run(["dbus-send", "--session", "--print-reply", *arguments],
                          capture_output=True, text=True, timeout=10)


def start_accessibility_bus():
    """Starts the accessibility bus of this session and switches assistive technology on."""
    launcher = "/usr/libexec/at-spi-bus-launcher"
    if not os.path.exists(launcher):
        skip("at-spi2-core is not installed (scripts/setup installs it)")
    process = subprocess.Popen([launcher, "--launch-immediately"], stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        reply = session_bus_call("--dest=org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus.GetAddress")
        if reply.returncode == 0 and "unix:" in reply.stdout:
            session_bus_call("--dest=org.a11y.Bus", "/org/a11y/bus",
                             "org.freedesktop.DBus.Properties.Set", "string:org.a11y.Status",
                             "string:IsEnabled", "variant:boolean:true")
            return process
        time.sleep(0.2)
    process.kill()
    skip("the accessibility bus did not start")


def start_demo_service(path):
    service = subprocess.Popen([path, "--port", "0"], stdout=subprocess.PIPE, text=True)
    base = service.stdout.readline().strip()
    if not base.startswith("http"):
        service.kill()
        fail("the demo service gave no address")
    return service, base


def wait_for(predicate, seconds=WAIT_SECONDS, pump=None):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if pump:
            pump()
        value = predicate()
        if value:
            return value
        time.sleep(0.05)
    return None


def main():
    if len(sys.argv) != 3:
        fail(__doc__)
    program, demo_service = sys.argv[1], sys.argv[2]
    if not os.environ.get("DBUS_SESSION_BUS_ADDRESS"):
        skip("no session bus (run under dbus-run-session)")
    if os.environ.get("QT_QPA_PLATFORM") != "xcb" or not os.environ.get("DISPLAY"):
        skip("no X server (the accessibility bridge of Qt needs the xcb platform)")

    bus = start_accessibility_bus()
    import pyatspi  # only once the accessibility bus is there
    from gi.repository import GLib

    service, base = start_demo_service(demo_service)
    folder = tempfile.TemporaryDirectory()
    environment = dict(os.environ, ORVELLE_SERVICE_URL=base, ORVELLE_AUDIO_OUTPUT="null",
                       QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", XDG_CONFIG_HOME=folder.name)
    orvelle = subprocess.Popen([program], env=environment)
    context = GLib.MainContext.default()

    def pump():
        while context.iteration(False):
            pass

    try:
        check_program(pyatspi, pump)
    finally:
        orvelle.terminate()
        try:
            orvelle.wait(10)
        except subprocess.TimeoutExpired:
            orvelle.kill()
        service.kill()
        bus.kill()
    print("PASS", flush=True)


def application(pyatspi):
    desktop = pyatspi.Registry.getDesktop(0)
    for index in range(desktop.childCount):
        app = desktop.getChildAtIndex(index)
        if app is not None and app.name and app.name.lower().startswith("orvelle"):
            return app
    return None


def walk(node):
    yield node
    for index in range(node.childCount):
        child = node.getChildAtIndex(index)
        if child is not None:
            yield from walk(child)


def showing(node):
    return node.getState().contains(__import__("pyatspi").STATE_SHOWING)


def find(app, role, name):
    return next((n for n in walk(app) if n.getRole() == role and n.name == name), None)


def check_program(pyatspi, pump):
    app = wait_for(lambda: application(pyatspi))
    if app is None:
        fail("Orvelle did not appear on the accessibility bus")
    # The frame is named after the song shown, or "Orvelle" while none is.
    frame = wait_for(lambda: next((n for n in walk(app) if n.getRole() == pyatspi.ROLE_FRAME and n.name), None))
    if frame is None:
        fail("no named frame")
    buttons_roles = (pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON)
    controls = [n for n in walk(frame)
                if n.getRole() in buttons_roles + (pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_SLIDER) and showing(n)]
    names = sorted(n.name for n in controls)
    print("visible controls:", ", ".join("%s (%s)" % (n.name or "<unnamed>", n.getRoleName()) for n in controls),
          flush=True)
    unnamed = [n.getRoleName() for n in controls if not n.name]
    if unnamed:
        fail("unnamed controls: %s" % unnamed)
    for wanted in ("频道", "歌词", "暂停", "下一首", "静音", "声明"):
        if wanted not in names:
            fail("no visible control named %s" % wanted)

    # A new song is announced: the title's name changes when the skip button is pressed.
    title = wait_for(lambda: next((n for n in walk(frame) if n.getRole() == pyatspi.ROLE_LABEL
                                   and n.description == "标题" and n.name), None))
    if title is None:
        fail("no title label with a title")
    old_title = title.name
    announced = []
    notified = []

    def heard(event):
        if event.source.getRole() == pyatspi.ROLE_LABEL and event.source.description == "标题":
            announced.append(event.source.name)

    def notification(event):
        if event.source.getRole() == pyatspi.ROLE_NOTIFICATION and event.detail1:
            notified.append(event.source.name)

    pyatspi.Registry.registerEventListener(heard, "object:property-change:accessible-name")
    pyatspi.Registry.registerEventListener(notification, "object:state-changed:showing")
    press(pyatspi, find(frame, pyatspi.ROLE_PUSH_BUTTON, "下一首"))
    if not wait_for(lambda: [t for t in announced if t and t != old_title], pump=pump):
        fail("no name change of the title announced the new song (heard %s)" % announced)
    new_title = [t for t in announced if t and t != old_title][-1]
    if not wait_for(lambda: [n for n in notified if n.startswith(new_title + " – ")], pump=pump):
        fail("no notification told the new song %s (heard %s)" % (new_title, notified))
    print("announced: %s -> %s (%s)" % (old_title, new_title, notified[-1]), flush=True)
    pyatspi.Registry.deregisterEventListener(heard, "object:property-change:accessible-name")
    pyatspi.Registry.deregisterEventListener(notification, "object:state-changed:showing")

    # Every visible button can be pressed; the play and mute buttons' names follow their state,
    # and the lyrics button tells whether the panel is open.
    switches = {"暂停": "播放", "静音": "取消静音"}
    for node in [n for n in controls if n.getRole() in buttons_roles]:
        before = node.name
        press(pyatspi, node)
        if before in switches and not wait_for(lambda: node.name == switches[before], 5, pump):
            fail("%s did not become %s when pressed (it is %s)" % (before, switches[before], node.name))
        if before == "歌词" and not wait_for(lambda: node.getState().contains(pyatspi.STATE_EXPANDED), 5, pump):
            fail("the lyrics button does not tell that the panel is open")
    # The lyrics panel opened by its button: its buttons are named and pressable too.
    panel_names = ("关闭歌词", "放大字体", "缩小字体")

    def panel_shown():
        return [n for n in walk(frame) if n.getRole() in buttons_roles and showing(n) and n.name in panel_names]

    # The panel slides in: its buttons join the tree as it uncovers them.
    panel_buttons = wait_for(lambda: len(panel_shown()) == 3 and panel_shown(), 10)
    if not panel_buttons:
        fail("the open lyrics panel shows %s" % [n.name for n in panel_shown()])
    for node in sorted(panel_buttons, key=lambda n: n.name == "关闭歌词"):
        press(pyatspi, node)

    slider = find(frame, pyatspi.ROLE_SLIDER, "音量")
    if slider is None:
        fail("no volume slider in the tree")
    value = slider.queryValue()
    value.currentValue = 40.0
    if not wait_for(lambda: abs(slider.queryValue().currentValue - 40.0) < 0.5, 5):
        fail("the volume slider did not take the value 40")


def press(pyatspi, node):
    if node is None:
        fail("a control to press is missing")
    action = node.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    if "Press" not in names:
        fail("%s offers no Press action (only %s)" % (node.name, names))
    if not action.doAction(names.index("Press")):
        fail("pressing %s failed" % node.name)


if __name__ == "__main__":
    main()
