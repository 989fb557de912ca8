"""The floor each audio stack puts under a radio player: a bare libmpv player (Orvelle's player
settings) against a bare GStreamer playbin (the stack Goodvibes plays through), in alternating
rounds on the same demo-service song and the same PulseAudio null sink. Neither has a window.

Per round: CPU over a window of playing, resident and proportional memory after it, threads; then
the medians and the ratio libmpv / GStreamer. Compare with desktop_bench's figures for the whole
programs: what a stack costs by itself is a floor no change to the rest of a program can go below.
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import desktop_session as ds  # noqa: E402
from desktop_bench import ROOT, cpu_percent_over, first_song_address  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
PLAYERS = {"libmpv": ("mpv_player.c", "mpv"), "gstreamer": ("gstreamer_player.c", "gstreamer-1.0")}


def build_players(folder):
    programs = {}
    for name, (source, package) in PLAYERS.items():
        flags = subprocess.run(["pkg-config", "--cflags", "--libs", package], check=True, capture_output=True,
                               text=True).stdout.split()
        program = os.path.join(folder, name)
        subprocess.run(["cc", "-O2", "-o", program, os.path.join(HERE, "bare_players", source), *flags], check=True)
        programs[name] = program
    return programs


def run_round(desktop, program, address, args):
    process = desktop.start([program, address, str(int(args.settle + args.cpu_seconds + 5))])
    try:
        time.sleep(args.settle)
        if process.poll() is not None:
            raise SystemExit(f"{program} ended early")
        cpu, _ = cpu_percent_over(process.pid, args.cpu_seconds)
        rss, pss = ds.memory_kib(process.pid)
        threads = len(os.listdir(f"/proc/{process.pid}/task"))
        return {"cpu": cpu, "rss": rss / 1024, "pss": pss / 1024, "threads": threads}
    finally:
        ds.stop(process)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--rounds", type=int, default=3, help="rounds of each player (default 3)")
    parser.add_argument("--settle", type=float, default=5, help="seconds of playing before the CPU window (5)")
    parser.add_argument("--cpu-seconds", type=float, default=20, help="length of the CPU window (20)")
    args = parser.parse_args()

    _, service_program = ds.release_programs(ROOT)
    folder = tempfile.mkdtemp(prefix="orvelle-audio-stacks.")
    desktop = ds.Desktop()
    service = ds.DemoService(service_program)
    results = {name: [] for name in PLAYERS}
    try:
        programs = build_players(folder)
        address = first_song_address(service)
        print(f"{'round':>5} {'player':<10} {'CPU %':>6} {'RSS MB':>7} {'PSS MB':>7} {'threads':>7}")
        for round_number in range(1, args.rounds + 1):
            for name, program in programs.items():
                figures = run_round(desktop, program, address, args)
                results[name].append(figures)
                print(f"{round_number:>5} {name:<10} {figures['cpu']:>6.2f} {figures['rss']:>7.1f} {figures['pss']:>7.1f} "
                      f"{figures['threads']:>7}", flush=True)
    finally:
        service.close()
        desktop.close()
        shutil.rmtree(folder, ignore_errors=True)

    medians = {name: {key: statistics.median(r[key] for r in rounds) for key in ("cpu", "rss", "pss")}
               for name, rounds in results.items()}
    print(f"\n{'median':<16} {'CPU %':>6} {'RSS MB':>7} {'PSS MB':>7}")
    for name, m in medians.items():
        print(f"{name:<16} {m['cpu']:>6.2f} {m['rss']:>7.1f} {m['pss']:>7.1f}")
    ratio = {key: medians["libmpv"][key] / medians["gstreamer"][key] for key in ("cpu", "rss", "pss")}
    print(f"{'libmpv/gstreamer':<16} {ratio['cpu']:>6.2f} {ratio['rss']:>7.2f} {ratio['pss']:>7.2f}")


if __name__ == "__main__":
    main()
