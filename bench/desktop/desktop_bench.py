"""Orvelle against Goodvibes (Debian's GTK radio player), in alternating rounds on the same
demo-service song, on a private Xvfb, session bus and PulseAudio null sink.

Per round: start -> the main window mapped (the X server's MapNotify), CPU over a window of
playing (the whole process, its user-interface thread, and the X server meanwhile), resident,
proportional and anonymous memory at a given time of playing; then the medians and the ratios
Orvelle / Goodvibes. The X server's CPU in Goodvibes' rounds is its floor with a window that does
not change; what it spends above that in Orvelle's rounds is the cost of Orvelle's frames. With --skips N, Orvelle's rounds also time N skips: the release of a
real (XTest) button press on nextButton -> the next audio request in the demo service's log.
"""

import argparse
import json
import os
import statistics
import sys
import time
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import desktop_session as ds  # noqa: E402

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
LAYOUT = os.path.join(ROOT, "resources", "layouts", "main_window.json")


def control_centre(name):
    """Centre of a control of the main window's layout, in the window's client coordinates."""
    with open(LAYOUT) as f:
        layout = json.load(f)

    def find(components, x, y):
        for component in components:
            p = component.get("properties", {})
            left, top = x + p.get("Left", 0), y + p.get("Top", 0)
            if component.get("name") == name:
                return left + p["Width"] // 2, top + p["Height"] // 2
            found = find(component.get("components", []), left, top)
            if found:
                return found
        return None

    centre = find(layout["components"], 0, 0)
    if not centre:
        raise SystemExit(f"{name} is not in {LAYOUT}")
    return centre


def cpu_percent_over(pid, seconds):
    """The whole process's CPU and that of its audio threads (ds.is_audio_thread), in % of a core."""
    start_ticks, start_threads, start = ds.process_ticks(pid), ds.thread_figures(pid), time.monotonic()
    time.sleep(seconds)
    ticks, threads, wall = ds.process_ticks(pid) - start_ticks, ds.thread_figures(pid), time.monotonic() - start
    audio_ticks = sum(t - (start_threads[tid][1] if tid in start_threads else 0)
                      for tid, (name, t, _, _) in threads.items() if ds.is_audio_thread(name))
    return 100.0 * ticks / ds.CLOCK_TICKS / wall, 100.0 * audio_ticks / ds.CLOCK_TICKS / wall


def cpu_shares_over(pid, x_server_pid, seconds):
    """Percent of one core over the window: the whole process (clock ticks, threads that ended
    included), its user-interface thread (the one whose id is the process's) and the X server
    (the scheduler's nanosecond counts)."""
    def sample():
        return ds.process_ticks(pid), ds.thread_cpu_ns(pid).get(pid, 0), sum(ds.thread_cpu_ns(x_server_pid).values())

    (ticks0, ui0, x0), threads0, start = sample(), ds.thread_figures(pid), time.monotonic()
    time.sleep(seconds)
    (ticks1, ui1, x1), threads1, wall = sample(), ds.thread_figures(pid), time.monotonic() - start
    # The audio threads (ds.is_audio_thread), counted from their clock ticks; a thread started
    # within the window counts from zero.
    audio_ticks = sum(t - (threads0[tid][1] if tid in threads0 else 0)
                      for tid, (name, t, _, _) in threads1.items() if ds.is_audio_thread(name))
    return {"cpu": 100.0 * (ticks1 - ticks0) / ds.CLOCK_TICKS / wall, "ui_cpu": 100.0 * (ui1 - ui0) / 1e9 / wall,
            "x_cpu": 100.0 * (x1 - x0) / 1e9 / wall, "audio_cpu": 100.0 * audio_ticks / ds.CLOCK_TICKS / wall}


def run_round(desktop, service, program, command, args, x, skip_point=None):
    """One program's round; returns its figures."""
    service.clear_requests()
    x.drain()
    start = time.monotonic()
    process = desktop.start(command, extra_env=program["env"], log=args.log and f"{args.log}.{program['name']}.log")
    try:
        mapped = x.wait_for_map(30)
        if not mapped:
            raise RuntimeError(f"{program['name']}: no window was mapped")
        map_ms = 1000 * (mapped[0] - start)
        if not service.wait_for_audio_request(timeout=30):
            raise RuntimeError(f"{program['name']}: no audio was requested")
        playing_since = time.monotonic()
        time.sleep(args.settle)
        figures = {"map_ms": map_ms, **cpu_shares_over(process.pid, desktop.x_server.pid, args.cpu_seconds)}
        time.sleep(max(0.0, args.memory_at - (time.monotonic() - playing_since)))
        memory = ds.memory_figures_kib(process.pid)
        figures.update(rss=memory["Rss"] / 1024, pss=memory["Pss"] / 1024, anon=memory["Anonymous"] / 1024)
        if skip_point:
            figures["skips_ms"] = time_skips(service, x, mapped[1], skip_point, args.skips)
        if process.poll() is not None:
            raise RuntimeError(f"{program['name']} ended during its round")
        return figures
    finally:
        ds.stop(process)


def time_skips(service, x, window, point, count):
    origin = x.window_origin(window)
    latencies = []
    for _ in range(count):
        time.sleep(1.5)
        released = x.click(origin[0] + point[0], origin[1] + point[1])
        request = service.wait_for_audio_request(after_us=released * 1e6, timeout=10)
        latencies.append(float("nan") if not request else request["received_us"] / 1000 - released * 1000)
    x.move_pointer(1, 1)
    return latencies


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--rounds", type=int, default=3, help="rounds of each program (default 3)")
    parser.add_argument("--settle", type=float, default=5, help="seconds of playing before the CPU window (5)")
    parser.add_argument("--cpu-seconds", type=float, default=20, help="length of the CPU window (20)")
    parser.add_argument("--memory-at", type=float, default=60, help="seconds of playing when memory is read (60)")
    parser.add_argument("--skips", type=int, default=0, help="skips timed in each Orvelle round (0; 7 for the goal)")
    parser.add_argument("--log", help="write each program's output to LOG.<program>.log")
    args = parser.parse_args()

    orvelle, service_program = ds.release_programs(ROOT)
    desktop = ds.Desktop()
    service = None
    x = None
    try:
        x = ds.XConnection(desktop.env["DISPLAY"])
        programs = [
            {"name": "orvelle", "env": {"QT_QPA_PLATFORM": "xcb"}},
            {"name": "goodvibes", "env": {"GSETTINGS_BACKEND": "memory", "GDK_BACKEND": "x11"}},
        ]
        results = {p["name"]: [] for p in programs}
        skip_point = control_centre("nextButton") if args.skips else None
        print(f"{'round':>5} {'program':<10} {'mapped ms':>9} {'CPU %':>6} {'audio %':>7} {'UI %':>6} {'X %':>6} "
              f"{'RSS MB':>7} {'PSS MB':>7} {'anon MB':>7}  skips ms")
        for number in range(1, args.rounds + 1):
            for program in programs:
                # A fresh service per round: every round starts on the same song of the first
                # channel, which Goodvibes is given by its address.
                if service:
                    service.close()
                service = ds.DemoService(service_program)
                if program["name"] == "orvelle":
                    command = [orvelle]
                    env = {"ORVELLE_SERVICE_URL": service.url}
                    figures = run_round(desktop, service, dict(program, env={**program["env"], **env}), command, args,
                                        x, skip_point)
                else:
                    song = first_song_address(service)
                    figures = run_round(desktop, service, program, ["goodvibes", song], args, x)
                results[program["name"]].append(figures)
                skips = " ".join(f"{s:.0f}" for s in figures.get("skips_ms", []))
                print(f"{number:>5} {program['name']:<10} {figures['map_ms']:>9.0f} {figures['cpu']:>6.2f} "
                      f"{figures['audio_cpu']:>7.2f} {figures['ui_cpu']:>6.2f} {figures['x_cpu']:>6.2f} {figures['rss']:>7.1f} "
                      f"{figures['pss']:>7.1f} {figures['anon']:>7.1f}  {skips}", flush=True)
        report(results)
    finally:
        if service:
            service.close()
        if x:
            x.close()
        desktop.close()


def first_song_address(service):
    """The audio address of the song a fresh service plays first on Orvelle's first channel."""
    with open(LAYOUT) as f:
        layout = json.load(f)
    # The channel list's first item; the service gives a channel's songs in turn from the first.
    detail = find_first_detail(layout)
    with urllib.request.urlopen(f"{service.url}/j/v2/playlist?channel={detail}", timeout=5) as answer:
        song = json.load(answer)["song"][0]
    # The playlist request moved the channel on: a new service puts it back on the first song.
    return song["url"].replace("\\/", "/")


def find_first_detail(node):
    if isinstance(node, dict):
        if "Detail" in node:
            return node["Detail"]
        for value in node.values():
            found = find_first_detail(value)
            if found is not None:
                return found
    elif isinstance(node, list):
        for value in node:
            found = find_first_detail(value)
            if found is not None:
                return found
    return None


def report(results):
    keys = ("map_ms", "cpu", "audio_cpu", "ui_cpu", "x_cpu", "rss", "pss", "anon")
    medians = {name: {key: statistics.median(r[key] for r in rounds) for key in keys} for name, rounds in results.items()}
    print()
    print(f"{'median':<16} {'mapped ms':>9} {'CPU %':>6} {'audio %':>7} {'UI %':>6} {'X %':>6} {'RSS MB':>7} {'PSS MB':>7} "
          f"{'anon MB':>7}")
    for name, m in medians.items():
        print(f"{name:<16} {m['map_ms']:>9.0f} {m['cpu']:>6.2f} {m['audio_cpu']:>7.2f} {m['ui_cpu']:>6.2f} {m['x_cpu']:>6.2f} "
              f"{m['rss']:>7.1f} {m['pss']:>7.1f} {m['anon']:>7.1f}")
    o, g = medians["orvelle"], medians["goodvibes"]
    ratio = {key: (o[key] / g[key] if g[key] else float("inf")) for key in o}
    # Goodvibes' user-interface thread and X server rest while it plays: those columns have no ratio.
    print(f"{'orvelle/goodvibes':<16} {ratio['map_ms']:>9.2f} {ratio['cpu']:>6.2f} {'':>7} {'':>6} {'':>6} {ratio['rss']:>7.2f} "
          f"{ratio['pss']:>7.2f} {ratio['anon']:>7.2f}")
    print(f"X server for Orvelle's frames (its CPU in Orvelle's rounds above Goodvibes'): "
          f"{o['x_cpu'] - g['x_cpu']:.2f} % of a core")
    print(f"orvelle's audio threads / goodvibes' whole process, CPU: {o['audio_cpu'] / g['cpu']:.2f}"
          if g["cpu"] else "goodvibes used no CPU")
    skips = [s for r in results["orvelle"] for s in r.get("skips_ms", [])]
    if skips:
        print(f"skip release -> audio request: median {statistics.median(skips):.0f} ms "
              f"({min(skips):.0f}-{max(skips):.0f}, {len(skips)} skips)")


if __name__ == "__main__":
    main()
