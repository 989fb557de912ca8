"""What Orvelle does while nothing changes: paused, and minimised while it plays.

On a private Xvfb with a window manager, session bus and PulseAudio null sink, against the demo
service: Orvelle plays, is paused through MPRIS (the pointer outside its window, or resting on a
control with --pointer-on NAME), and is watched for a while; then it plays again, is minimised and
is watched again. Printed per phase: the process's CPU ticks after the first second, the
user-interface thread's wake-ups (voluntary context switches) a second, and every thread that ran
or woke up, so that what is still running is named.

Goals: paused, 0 ticks and at most 1 wake-up a second of the user-interface thread; minimised
while playing, the same apart from the audio threads.
"""

import argparse
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import desktop_session as ds  # noqa: E402
from desktop_bench import ROOT, control_centre  # noqa: E402

is_audio_thread = ds.is_audio_thread


def watch(pid, seconds):
    """Per-thread figures over the given time: {tid: (name, ticks, voluntary, involuntary)}, and
    the process's ticks (threads that ended included)."""
    before, process_before = ds.thread_figures(pid), ds.process_ticks(pid)
    time.sleep(seconds)
    after, process_after = ds.thread_figures(pid), ds.process_ticks(pid)
    delta = {}
    for tid, (name, ticks, voluntary, involuntary) in after.items():
        _, t0, v0, i0 = before.get(tid, (name, 0, 0, 0))
        delta[tid] = (name, ticks - t0, voluntary - v0, involuntary - i0)
    return delta, process_after - process_before


def report(title, pid, delta, process_ticks, seconds, audio_allowed):
    ui = delta.get(pid, ("?", 0, 0, 0))
    counted = sum(t for tid, (name, t, _, _) in delta.items() if not (audio_allowed and is_audio_thread(name)))
    ui_rate = ui[2] / seconds
    print(f"\n{title} ({seconds:.0f} s after the first second)")
    print(f"  process CPU ticks: {process_ticks}" + (f"; without the audio threads: {counted}" if audio_allowed else ""))
    print(f"  user-interface thread: {ui[1]} ticks, {ui[2]} wake-ups ({ui_rate:.2f} a second)")
    print(f"  {'thread':<18} {'tid':>7} {'ticks':>5} {'wake-ups':>8} {'preempted':>9}")
    for tid, (name, ticks, voluntary, involuntary) in sorted(delta.items()):
        if ticks or voluntary or involuntary:
            mark = " (audio)" if is_audio_thread(name) else ""
            print(f"  {name:<18} {tid:>7} {ticks:>5} {voluntary:>8} {involuntary:>9}{mark}")
    ticks_ok = (counted if audio_allowed else process_ticks) == 0
    verdict = "met" if ticks_ok and ui_rate <= 1.0 else "NOT met"
    print(f"  goal (0 ticks{' apart from audio' if audio_allowed else ''}, <= 1 wake-up a second): {verdict}")
    return ticks_ok and ui_rate <= 1.0


def playerctl(desktop, *command):
    subprocess.run(["playerctl", "--player=orvelle", *command], env=desktop.env, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=10)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--seconds", type=float, default=60, help="length of each watch (60)")
    parser.add_argument("--pointer-on", metavar="NAME",
                        help="rest the pointer on this control of the main window while paused (default: outside)")
    parser.add_argument("--audio-output", metavar="AO",
                        help="the audio output for Orvelle (ORVELLE_AUDIO_OUTPUT), e.g. null; default: PulseAudio's "
                             "null sink")
    parser.add_argument("--between-songs", action="store_true",
                        help="start the minimised watch as a new song starts (use with --seconds 20 or less), so "
                             "that it sees no song change")
    parser.add_argument("--log", help="write Orvelle's output to this file")
    args = parser.parse_args()

    orvelle, service_program = ds.release_programs(ROOT)
    desktop = ds.Desktop(window_manager=True)
    service = ds.DemoService(service_program)
    x = ds.XConnection(desktop.env["DISPLAY"])
    process = None
    met = True
    try:
        x.move_pointer(1, 1)
        env = {"QT_QPA_PLATFORM": "xcb", "ORVELLE_SERVICE_URL": service.url}
        if args.audio_output:
            env["ORVELLE_AUDIO_OUTPUT"] = args.audio_output
        process = desktop.start([orvelle], env, log=args.log)
        if not service.wait_for_audio_request(timeout=30):
            raise SystemExit("Orvelle requested no audio")
        window = find_client_window(x, process.pid)
        time.sleep(3)
        if args.pointer_on:
            point = control_centre(args.pointer_on)
            origin = x.window_origin(window)
            x.move_pointer(origin[0] + point[0], origin[1] + point[1])
        playerctl(desktop, "pause")
        time.sleep(1)
        delta, ticks = watch(process.pid, args.seconds)
        met &= report("paused" + (f", pointer on {args.pointer_on}" if args.pointer_on else ", pointer outside"),
                      process.pid, delta, ticks, args.seconds, audio_allowed=False)

        x.move_pointer(1, 1)
        playerctl(desktop, "play")
        time.sleep(2)
        x.iconify(window)
        time.sleep(1)
        title = "minimised while playing"
        if args.between_songs:
            # The demo service's songs last 24-42 s: a watch of up to 20 s that starts as a song
            # starts sees no song change, only what runs while one song plays.
            if not service.wait_for_audio_request(after_us=time.monotonic() * 1e6, timeout=60):
                raise SystemExit("no song change while minimised")
            time.sleep(1)
            title += ", within one song"
        delta, ticks = watch(process.pid, args.seconds)
        met &= report(title, process.pid, delta, ticks, args.seconds, audio_allowed=True)
        if process.poll() is not None:
            raise SystemExit("Orvelle ended during the watch")
    finally:
        if process:
            ds.stop(process)
        x.close()
        service.close()
        desktop.close()
    sys.exit(0 if met else 1)


def find_client_window(x, pid):
    """Orvelle's main window: the client window whose _NET_WM_PID is Orvelle's."""
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        result = subprocess.run(["xprop", "-root", "_NET_CLIENT_LIST"], capture_output=True, text=True,
                                env={**os.environ, "DISPLAY": x_display(x)})
        for window in result.stdout.partition("#")[2].replace(",", " ").split():
            info = subprocess.run(["xprop", "-id", window, "_NET_WM_PID"], capture_output=True, text=True,
                                  env={**os.environ, "DISPLAY": x_display(x)}).stdout
            if info.strip().endswith(f"= {pid}"):
                return int(window, 16)
        time.sleep(0.2)
    raise SystemExit("Orvelle's window was not found")


def x_display(x):
    return x.display_name


if __name__ == "__main__":
    main()
