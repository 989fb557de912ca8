// The gap a listener hears when the network goes down mid-song. The demo service breaks the
// song's answer off after a given number of seconds of audio and answers nothing for the length
// of the outage; the player (on the clocked silent output, ORVELLE_AUDIO_OUTPUT=null) plays what
// it holds, re-opens the song and goes on. Each run reports the longest time the playback
// position stood still while playing (the gap heard), where it stood, and the position reached
// afterwards; a run that does not go on past the break within the outage and 20 s fails.
//
// Usage: bench_outage_bridge [outage seconds, default 15] [seconds of audio before the break,
// default 5] [runs, default 3]
#include "playback/gst_media_player.h"

#include "demo_service_process.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <httplib.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// The demo service's songs are MP3 at 128 kbit/s.
constexpr int kBytesPerSecond = 16000;
// How often the position is read: the gap is known to this much.
constexpr int kSampleMs = 10;
// A position that moved less than this between two readings stood still.
constexpr double kStill = 0.001;

struct Run {
  double gapSeconds = 0;
  double stoodAt = 0;
  double reached = 0;
  bool wentOn = false;
};

Run PlayThroughOutage(const std::string& base, int outageSeconds, int secondsBeforeBreak, int sid) {
  httplib::Client service(base);
  service.Delete("/_demo/faults");
  const std::string fault = R"({"target":"audio","kind":"outage","after_bytes":)" +
                            std::to_string(secondsBeforeBreak * kBytesPerSecond) + R"(,"delay_ms":)" +
                            std::to_string(outageSeconds * 1000) + "}";
  service.Post("/_demo/faults", fault, "application/json");

  orvelle::GstMediaPlayer player;
  player.SetURL(QString::fromStdString(base + "/audio/" + std::to_string(sid) + ".mp3"));
  player.Play();

  Run run;
  QElapsedTimer clock;
  clock.start();
  double last = -1;
  qint64 stillSince = -1;
  bool started = false;
  QEventLoop loop;
  QTimer sampler;
  QObject::connect(&sampler, &QTimer::timeout, [&] {
    const double position = player.PositionSeconds();
    const qint64 now = clock.elapsed();
    if (!started) {
      started = position > 0;
    } else if (position - last < kStill) {
      if (stillSince < 0) stillSince = now;
      const double still = (now - stillSince) / 1000.0;
      if (still > run.gapSeconds) {
        run.gapSeconds = still;
        run.stoodAt = position;
      }
    } else {
      stillSince = -1;
    }
    last = position;
    run.reached = position;
    if (position > secondsBeforeBreak + 2) {
      run.wentOn = true;
      loop.quit();
    }
    if (now > (outageSeconds + secondsBeforeBreak + 20) * 1000) loop.quit();
  });
  sampler.start(kSampleMs);
  loop.exec();
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  const int outageSeconds = argc > 1 ? std::atoi(argv[1]) : 15;
  const int secondsBeforeBreak = argc > 2 ? std::atoi(argv[2]) : 5;
  const int runs = argc > 3 ? std::atoi(argv[3]) : 3;
  if (qEnvironmentVariableIsEmpty("ORVELLE_AUDIO_OUTPUT")) qputenv("ORVELLE_AUDIO_OUTPUT", "null");

  orvelle::test::ServiceProcess service({"--port", "0"});
  const std::string base = service.readLine();
  std::printf("outage of %d s after %d s of audio; gap heard = longest stand-still of the position while playing\n",
              outageSeconds, secondsBeforeBreak);
  std::printf("%4s %12s %12s %12s\n", "run", "gap heard s", "stood at s", "reached s");
  bool allWentOn = true;
  for (int number = 1; number <= runs; ++number) {
    // A different song each run, so that no run starts from another's download.
    const Run run = PlayThroughOutage(base, outageSeconds, secondsBeforeBreak, 1000 + number);
    std::printf("%4d %12.2f %12.2f %12.2f%s\n", number, run.gapSeconds, run.stoodAt, run.reached,
                run.wentOn ? "" : "  did not go on");
    allWentOn = allWentOn && run.wentOn;
  }
  return allWentOn ? 0 : 1;
}
