"""Wake-ups a second of the audio threads for sizes of PulseAudio's output buffer: the player's
chain (souphttpsrc, MP3 parsing and decoding, pulsesink) playing a demo-service song into a
private PulseAudio null sink, once per buffer-time / latency-time pair, alternating over rounds.

A wake-up is a voluntary context switch of a thread (it slept and was woken); CPU is in % of a
core. Pause, skip and a volume change do not wait for the buffer to drain: pausing corks the
stream, a new song flushes it, and the volume is the stream's own on the sound server.

Usage: bench/desktop/sink_buffer [--rounds N] [--seconds S]
"""

import argparse
import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import desktop_session as ds  # noqa: E402

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
# (buffer-time, latency-time) in milliseconds; 500/50 is what the player uses.
SIZES = [(200, 20), (200, 50), (500, 50), (500, 125), (1000, 100), (1000, 250)]


def measure(desktop, url, buffer_ms, latency_ms, settle, seconds):
    command = ["gst-launch-1.0", "-q", "souphttpsrc", f"location={url}", "!", "mpegaudioparse", "!", "mpg123audiodec",
               "!", "audioconvert", "!", "audioresample", "!", "pulsesink", f"buffer-time={buffer_ms * 1000}",
               f"latency-time={latency_ms * 1000}"]
    process = desktop.start(command)
    try:
        time.sleep(settle)
        before, ticks_before, start = ds.thread_figures(process.pid), ds.process_ticks(process.pid), time.monotonic()
        time.sleep(seconds)
        after, ticks_after, wall = ds.thread_figures(process.pid), ds.process_ticks(process.pid), time.monotonic() - start
        if process.poll() is not None:
            raise RuntimeError("the player ended during its round")
        wakeups = sum(v - (before[tid][2] if tid in before else 0) for tid, (_, _, v, _) in after.items())
        return wakeups / wall, 100.0 * (ticks_after - ticks_before) / ds.CLOCK_TICKS / wall
    finally:
        ds.stop(process)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--settle", type=float, default=3, help="seconds of playing before the window (3)")
    parser.add_argument("--seconds", type=float, default=15, help="length of the window (15)")
    parser.add_argument("--service", help="the demo service program (default: the release build's, else the test build's)")
    args = parser.parse_args()
    service_program = args.service or ds.find_program(
        [os.path.join(ROOT, "build", b, "tools", "demo-service", "orvelle-demo-service") for b in ("release", "test")])
    desktop = ds.Desktop()
    service = ds.DemoService(service_program)
    try:
        # A song of 35 s: no round reaches its end.
        url = f"{service.url}/audio/1006.mp3"
        results = {size: [] for size in SIZES}
        print(f"{'round':>5} {'buffer ms':>9} {'latency ms':>10} {'wake-ups/s':>10} {'CPU %':>6}")
        for number in range(1, args.rounds + 1):
            for size in SIZES:
                wakeups, cpu = measure(desktop, url, *size, args.settle, args.seconds)
                results[size].append((wakeups, cpu))
                print(f"{number:>5} {size[0]:>9} {size[1]:>10} {wakeups:>10.1f} {cpu:>6.2f}", flush=True)
        print()
        print(f"{'median':>5} {'buffer ms':>9} {'latency ms':>10} {'wake-ups/s':>10} {'CPU %':>6}")
        for size, figures in results.items():
            print(f"{'':>5} {size[0]:>9} {size[1]:>10} {statistics.median(w for w, _ in figures):>10.1f} "
                  f"{statistics.median(c for _, c in figures):>6.2f}")
    finally:
        service.close()
        desktop.close()


if __name__ == "__main__":
    main()
