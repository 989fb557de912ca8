// The program as a listener meets it: the real orvelle binary on an X server of its own with a
// real window manager (openbox), clicked with the X Test extension and closed as the window
// manager closes windows, while the demo service holds its answers back. Everything is observed
// from outside the program: its window on the X server, its player on the session bus (MPRIS),
// and the demo service's request log.
//
// Registered to run under run-with-xvfb inside dbus-run-session: the program's player name and
// its one-instance claim live on that private bus, which the test reads too. The tests skip when
// no X server or no openbox can be started.

#include "x_server.h"

#include <httplib.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace orvelle::test {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

double Seconds(Clock::duration duration) { return std::chrono::duration<double>(duration).count(); }
long long Ms(Clock::duration duration) { return std::chrono::duration_cast<milliseconds>(duration).count(); }

// The main window's client area as its layout places it, and the two buttons the tests press
// (their centres, in client-area coordinates).
constexpr int kClientWidth = 649;
constexpr int kClientHeight = 266;
constexpr int kPlayPauseX = 171 + 87 / 2, kPlayPauseY = 183 + 35 / 2;
constexpr int kNextX = 282 + 87 / 2, kNextY = 183 + 35 / 2;
// The play/pause button's rectangle, and a place where the pointer rests on no control.
constexpr int kPlayPauseLeft = 171, kPlayPauseTop = 183, kPlayPauseWidth = 87, kPlayPauseHeight = 35;
constexpr int kRestX = 10, kRestY = 250;
constexpr char kWindowTitle[] = "Orvelle";

constexpr char kPlayer[] = "org.mpris.MediaPlayer2.orvelle";

// How long the program may take to start and play its first song, and how long a test waits for
// a fault to be taken, on a slow machine (a sanitizer build on two shared cores).
constexpr auto kStartLimit = seconds(60);
constexpr auto kServiceLimit = seconds(10);

// ---- child processes ----

// A program started by the test, with this process's environment plus `extra` (NAME=VALUE
// entries replace those of the same name). With `piped_output` its standard output is read by
// the test; otherwise it goes where the test's goes, or nowhere with `quiet`. Killed when the
// object goes, unless it has ended before.
class Child {
 public:
  struct Options {
    std::vector<std::string> extra_environment;
    bool piped_output = false;
    bool quiet = false;
  };

  Child(std::string program, std::vector<std::string> arguments, Options options) {
    // Everything the child needs is made before fork: the test process has threads (the bus
    // connection's), and the child may only make async-signal-safe calls until exec.
    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry) {
      const std::string text = *entry;
      bool replaced = false;
      for (const std::string& added : options.extra_environment) {
        replaced = replaced || text.compare(0, added.find('=') + 1, added, 0, added.find('=') + 1) == 0;
      }
      if (!replaced) environment.push_back(text);
    }
    environment.insert(environment.end(), options.extra_environment.begin(), options.extra_environment.end());
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::vector<char*> argv{program.data()};
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);

    int pipe_ends[2] = {-1, -1};
    if (options.piped_output && pipe(pipe_ends) != 0) return;
    const int null_device = options.quiet ? open("/dev/null", O_WRONLY | O_CLOEXEC) : -1;
    started_at_ = Clock::now();
    pid_ = fork();
    if (pid_ == 0) {
      if (options.piped_output) {
        dup2(pipe_ends[1], STDOUT_FILENO);
        close(pipe_ends[0]);
        close(pipe_ends[1]);
      }
      if (null_device >= 0) {
        dup2(null_device, STDOUT_FILENO);
        dup2(null_device, STDERR_FILENO);
      }
      execve(program.c_str(), argv.data(), envp.data());
      _exit(127);
    }
    if (null_device >= 0) close(null_device);
    if (options.piped_output) {
      close(pipe_ends[1]);
      output_ = pipe_ends[0];
    }
  }

  ~Child() {
    Kill();
    if (output_ >= 0) close(output_);
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool Started() const { return pid_ > 0; }
  pid_t Pid() const { return pid_; }
  // The moment just before fork.
  Clock::time_point StartedAt() const { return started_at_; }

  // True once the process has ended (its wait status is then in Status()).
  bool Ended() {
    if (ended_) return true;
    if (pid_ <= 0) return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      ended_ = true;
      status_ = status;
      ended_at_ = Clock::now();
    }
    return ended_;
  }
  // Waits for the end, looking every 2 ms; true when it ended within `limit`.
  bool WaitForEnd(Clock::duration limit) {
    const Clock::time_point deadline = Clock::now() + limit;
    while (!Ended()) {
      if (Clock::now() >= deadline) return false;
      std::this_thread::sleep_for(milliseconds(2));
    }
    return true;
  }
  int Status() const { return status_; }
  Clock::time_point EndedAt() const { return ended_at_; }

  // Asks the process to stop (SIGTERM) and kills it when it has not ended after `grace`.
  void Stop(Clock::duration grace) {
    if (pid_ <= 0 || Ended()) return;
    kill(pid_, SIGTERM);
    if (!WaitForEnd(grace)) Kill();
  }
  void Kill() {
    if (pid_ <= 0 || Ended()) return;
    kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    ended_ = true;
    status_ = status;
    ended_at_ = Clock::now();
  }

  // The next line of the piped output, or an empty text after `limit` without one.
  std::string ReadLine(Clock::duration limit) {
    std::string line;
    const Clock::time_point deadline = Clock::now() + limit;
    char c = 0;
    while (true) {
      const long long left = Ms(deadline - Clock::now());
      pollfd ready{output_, POLLIN, 0};
      if (left <= 0 || poll(&ready, 1, static_cast<int>(left)) != 1 || read(output_, &c, 1) != 1) return {};
      if (c == '\n') return line;
      line += c;
    }
  }

 private:
  pid_t pid_ = -1;
  int output_ = -1;
  bool ended_ = false;
  int status_ = 0;
  Clock::time_point started_at_;
  Clock::time_point ended_at_;
};

std::string Describe(int status) {
  if (WIFEXITED(status)) return "exit code " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return "signal " + std::to_string(WTERMSIG(status));
  return "wait status " + std::to_string(status);
}

// The program named, looked up in PATH; empty when there is none.
std::string FindInPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string folders = path ? path : "";
  size_t begin = 0;
  while (begin <= folders.size()) {
    const size_t end = std::min(folders.find(':', begin), folders.size());
    const std::string candidate = folders.substr(begin, end - begin) + "/" + name;
    if (end > begin && access(candidate.c_str(), X_OK) == 0) return candidate;
    begin = end + 1;
  }
  return {};
}

// A folder of the test's own, removed when the object goes.
class TemporaryFolder {
 public:
  TemporaryFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "orvelle-x11-XXXXXX").string();
    if (mkdtemp(pattern.data())) path_ = pattern;  // mkdtemp makes it 0700
  }
  ~TemporaryFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// ---- the desktop for the whole test program ----

// The X server with openbox running on it, and the application object the bus connection needs.
// When either cannot be had the tests skip with the reason.
class Desktop : public testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "listener_x11_test";
    static char* argv[] = {name, nullptr};
    application_ = std::make_unique<QCoreApplication>(argc, argv);

    x_ = std::make_unique<XServer>();
    if (!x_->Available()) {
      unavailable_ = "no X server with the X Test extension (run through tests/support/run-with-xvfb)";
      return;
    }
    const std::string openbox = FindInPath("openbox");
    if (openbox.empty()) {
      unavailable_ = "openbox is not installed (scripts/setup installs it)";
      return;
    }
    // The window manager reads its settings from a folder of its own: no settings of the user's.
    // Closing windows and placing them are the same with the defaults of every openbox.
    window_manager_ = std::make_unique<Child>(
        openbox, std::vector<std::string>{"--sm-disable"},
        Child::Options{.extra_environment = {"XDG_CONFIG_HOME=" + settings_.Path(), "XDG_CACHE_HOME=" + settings_.Path()},
                       .quiet = true});
    const Clock::time_point deadline = Clock::now() + seconds(20);
    while (!x_->WindowManagerRunning() && !window_manager_->Ended() && Clock::now() < deadline) {
      std::this_thread::sleep_for(milliseconds(20));
    }
    if (!x_->WindowManagerRunning()) unavailable_ = "openbox did not start on the X server";
  }

  void TearDown() override {
    if (window_manager_) window_manager_->Stop(seconds(5));
    window_manager_.reset();
    x_.reset();
    // Gone while the test program still runs: Qt's own globals do not outlive main().
    application_.reset();
  }

  // Why the tests cannot run; empty when they can.
  static const std::string& Unavailable() { return unavailable_; }
  static XServer& X() { return *x_; }

 private:
  static inline std::string unavailable_;
  static inline std::unique_ptr<XServer> x_;
  std::unique_ptr<QCoreApplication> application_;
  TemporaryFolder settings_;
  std::unique_ptr<Child> window_manager_;
};

testing::Environment* const desktop = testing::AddGlobalTestEnvironment(new Desktop);

// ---- the demo service ----

// The service's pending faults and its request log.
class DemoService {
 public:
  explicit DemoService(std::string base) : base_(std::move(base)) {}
  const std::string& Base() const { return base_; }

  void AddFault(const std::string& json) {
    httplib::Client client(base_);
    const auto result = client.Post("/_demo/faults", json, "application/json");
    ASSERT_TRUE(result) << "the demo service does not answer";
    ASSERT_EQ(result->status, 200) << result->body;
  }
  // The number of faults still pending: a delay is taken off the list when its request arrives.
  int PendingFaults() {
    httplib::Client client(base_);
    const auto result = client.Get("/_demo/faults");
    if (!result) return -1;
    return static_cast<int>(
        QJsonDocument::fromJson(QByteArray::fromStdString(result->body)).object().value("faults").toArray().size());
  }
  // Waits until every fault has been taken by a request; the moment it saw that.
  std::optional<Clock::time_point> WaitUntilFaultsTaken() {
    const Clock::time_point deadline = Clock::now() + kServiceLimit;
    while (Clock::now() < deadline) {
      if (PendingFaults() == 0) return Clock::now();
      std::this_thread::sleep_for(milliseconds(10));
    }
    return std::nullopt;
  }
  void ClearLog() {
    httplib::Client client(base_);
    client.Delete("/_demo/requests");
  }
  // The targets in the request log that start with `prefix`, oldest first (the service logs a
  // request when its answer has gone out, whether the client still listened or not).
  QStringList Targets(const QString& prefix) {
    httplib::Client client(base_);
    const auto result = client.Get("/_demo/requests");
    QStringList targets;
    if (!result) return targets;
    const QJsonArray requests =
        QJsonDocument::fromJson(QByteArray::fromStdString(result->body)).object().value("requests").toArray();
    for (const QJsonValue& request : requests) {
      const QString target = request.toObject().value("target").toString();
      if (target.startsWith(prefix)) targets.append(target);
    }
    return targets;
  }
  int PlaylistRequests() { return static_cast<int>(Targets("/j/v2/playlist").size()); }

 private:
  std::string base_;
};

// ---- the tests ----

// The player's PlaybackStatus as a desktop reads it, or none when the player does not answer.
std::optional<QString> PlaybackStatus() {
  QDBusMessage call = QDBusMessage::createMethodCall(kPlayer, "/org/mpris/MediaPlayer2",
                                                     "org.freedesktop.DBus.Properties", "Get");
  call << QStringLiteral("org.mpris.MediaPlayer2.Player") << QStringLiteral("PlaybackStatus");
  const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 2000);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return std::nullopt;
  return qvariant_cast<QDBusVariant>(reply.arguments().first()).variant().toString();
}

bool PlayerNameTaken() {
  return QDBusConnection::sessionBus().interface()->isServiceRegistered(QString::fromLatin1(kPlayer)).value();
}

class ListenerTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!Desktop::Unavailable().empty()) GTEST_SKIP() << Desktop::Unavailable();
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run under dbus-run-session";
    ASSERT_FALSE(PlayerNameTaken()) << "another program holds the player's name on this bus";
    service_process_ = std::make_unique<Child>(ORVELLE_DEMO_SERVICE, std::vector<std::string>{"--port", "0"},
                                               Child::Options{.extra_environment = {"XDG_RUNTIME_DIR=" + runtime_.Path()}, .piped_output = true});
    const std::string base = service_process_->ReadLine(seconds(30));
    ASSERT_EQ(base.rfind("http://127.0.0.1:", 0), 0u) << "the demo service did not start: " << base;
    service = std::make_unique<DemoService>(base);
  }

  void TearDown() override {
    if (program) {
      program->Kill();
      // The bus lets go of a killed program's names once it has seen the connection close.
      const Clock::time_point deadline = Clock::now() + seconds(10);
      while (PlayerNameTaken() && Clock::now() < deadline) std::this_thread::sleep_for(milliseconds(20));
    }
    program.reset();
    // A held answer keeps one of the service's threads asleep; the service is not waited for.
    if (service_process_) service_process_->Stop(seconds(2));
  }

  // Starts the program against the test's service, on the xcb platform, with a runtime folder
  // of its own.
  void StartProgram() {
    program = std::make_unique<Child>(
        ORVELLE_PROGRAM, std::vector<std::string>{},
        Child::Options{.extra_environment = {"ORVELLE_SERVICE_URL=" + service->Base(), "ORVELLE_AUDIO_OUTPUT=null",
                                             "QT_QPA_PLATFORM=xcb", "XDG_RUNTIME_DIR=" + runtime_.Path()}});
    ASSERT_TRUE(program->Started());
  }

  // Starts the program and waits until its window shows and its first song plays.
  void StartPlaying() {
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    const auto shown = Desktop::X().WaitForWindow(program->Pid(), kWindowTitle, Clock::now() + kStartLimit);
    ASSERT_TRUE(shown) << "the program shows no window titled \"" << kWindowTitle << "\"";
    window = shown->first;
    const XServer::Geometry geometry = Desktop::X().GeometryOf(window);
    // The buttons are pressed at their places in the layout: the window must be its size.
    ASSERT_EQ(geometry.width, kClientWidth);
    ASSERT_EQ(geometry.height, kClientHeight);
    origin_x_ = geometry.x;
    origin_y_ = geometry.y;
    const Clock::time_point deadline = Clock::now() + kStartLimit;
    while (PlaybackStatus() != QStringLiteral("Playing") && Clock::now() < deadline) {
      ASSERT_FALSE(program->Ended()) << "the program ended: " << Describe(program->Status());
      std::this_thread::sleep_for(milliseconds(50));
    }
    ASSERT_EQ(PlaybackStatus(), QStringLiteral("Playing")) << "no first song plays";
  }

  // A left click at a point of the client area: the pointer comes over it, rests, presses and
  // lets go. Returns the moment the server had handled the release.
  Clock::time_point ClickAt(int x, int y) {
    XServer& server = Desktop::X();
    server.MoveTo(origin_x_ + x, origin_y_ + y);
    std::this_thread::sleep_for(milliseconds(150));
    server.Press();
    std::this_thread::sleep_for(milliseconds(40));
    server.Release();
    return Clock::now();
  }

  // Empties the service's request log, clicks the next button with a held playlist answer
  // pending and waits until the program's request has reached the service and is being held.
  // Returns when that was seen.
  std::optional<Clock::time_point> SkipIntoAHeldLoad(int delay_ms) {
    service->ClearLog();
    service->AddFault(R"({"target":"playlist","kind":"delay","delay_ms":)" + std::to_string(delay_ms) + "}");
    ClickAt(kNextX, kNextY);
    return service->WaitUntilFaultsTaken();
  }

  // The play/pause button as the X server shows it, with the pointer resting elsewhere.
  std::vector<unsigned long> PlayPauseLook() {
    Desktop::X().MoveTo(origin_x_ + kRestX, origin_y_ + kRestY);
    std::this_thread::sleep_for(milliseconds(400));  // any hover fading has ended
    return Desktop::X().Pixels(window, kPlayPauseLeft, kPlayPauseTop, kPlayPauseWidth, kPlayPauseHeight);
  }

  // Waits until the player's status on the bus is `status`.
  bool StatusBecomes(const char* status, Clock::duration limit = kServiceLimit) {
    const Clock::time_point deadline = Clock::now() + limit;
    while (PlaybackStatus() != QString::fromLatin1(status)) {
      if (Clock::now() >= deadline) return false;
      std::this_thread::sleep_for(milliseconds(20));
    }
    return true;
  }

  std::unique_ptr<DemoService> service;
  std::unique_ptr<Child> program;
  XServer::WindowId window = 0;

 private:
  std::unique_ptr<Child> service_process_;
  TemporaryFolder runtime_;
  int origin_x_ = 0;
  int origin_y_ = 0;
};

// A close from the window manager (the title bar's close button, a taskbar's or a pager's
// close) is answered at once even while a playlist answer is held back: the program ends within
// a second, as it does when nothing waits.
TEST_F(ListenerTest, AWindowManagerCloseDuringAHeldAnswerEndsTheProgramWithinASecond) {
  ASSERT_NO_FATAL_FAILURE(StartPlaying());
  ASSERT_TRUE(Desktop::X().AcceptsDeleteRequests(window)) << "the window manager would kill the client instead";
  ASSERT_TRUE(SkipIntoAHeldLoad(35000)) << "the skip made no playlist request";

  Desktop::X().RequestClose(window);
  const Clock::time_point closed = Clock::now();
  const bool ended_in_time = program->WaitForEnd(seconds(1));
  // Past the limit the test waits on, to tell how late the close came.
  const bool ended = ended_in_time || program->WaitForEnd(seconds(170));
  const double took = Seconds((ended ? program->EndedAt() : Clock::now()) - closed);
  RecordProperty("close_ms", static_cast<int>(took * 1000));
  EXPECT_TRUE(ended_in_time) << "the program " << (ended ? "ended " : "still ran ") << took
                             << " s after the window manager's close";
  if (ended) {
    EXPECT_TRUE(WIFEXITED(program->Status()) && WEXITSTATUS(program->Status()) == 0)
        << "closed with " << Describe(program->Status());
  }
}

// The main window is on the screen within a second of the program's start, before the first
// song's answer (held back 20 s) has come.
TEST_F(ListenerTest, TheWindowIsMappedWithinASecondWhileTheFirstAnswerIsHeld) {
  service->AddFault(R"({"target":"playlist","kind":"delay","delay_ms":20000})");
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  const Clock::time_point started = program->StartedAt();
  const auto shown = Desktop::X().WaitForWindow(program->Pid(), kWindowTitle, started + seconds(40));
  const double took = Seconds((shown ? shown->second : Clock::now()) - started);
  RecordProperty("first_window_ms", static_cast<int>(took * 1000));
  ASSERT_TRUE(shown) << "no window " << took << " s after the start";
  EXPECT_LE(took, 1.0) << "the window was mapped " << took << " s after the start";
  EXPECT_FALSE(program->Ended()) << Describe(program->Status());
}

// A pause click while a load waits for its playlist answer is applied at once; the song that
// arrives afterwards is shown but does not start playing. The pause is read where the desktop
// reads it, the player's PlaybackStatus on the session bus, which follows the play state the
// click changes whatever the button looks like; the time runs from the X server's handling of
// the button release to the first answer that is not "Playing".
TEST_F(ListenerTest, APauseClickDuringAHeldLoadIsAppliedWithin100Ms) {
  ASSERT_NO_FATAL_FAILURE(StartPlaying());
  ASSERT_TRUE(SkipIntoAHeldLoad(6000)) << "the skip made no playlist request";
  ASSERT_EQ(PlaybackStatus(), QStringLiteral("Playing")) << "the player must play when the pause comes";

  const Clock::time_point released = ClickAt(kPlayPauseX, kPlayPauseY);
  // A player that does not answer has not paused either: only an answer other than "Playing"
  // ends the wait.
  std::optional<QString> status;
  const Clock::time_point deadline = released + seconds(30);
  do {
    status = PlaybackStatus();
  } while ((!status || *status == QStringLiteral("Playing")) && Clock::now() < deadline);
  const double took = Seconds(Clock::now() - released);
  RecordProperty("pause_ms", static_cast<int>(took * 1000));
  ASSERT_TRUE(status && *status != QStringLiteral("Playing")) << "no pause " << took << " s after the click";
  EXPECT_LE(took, 0.1) << "the pause was applied " << took * 1000 << " ms after the click";
  EXPECT_EQ(status, QStringLiteral("Paused"));

  // The held answer comes; its song is shown, and stays paused.
  const Clock::time_point answered_by = Clock::now() + seconds(20);
  while (service->PlaylistRequests() < 1 && Clock::now() < answered_by) std::this_thread::sleep_for(milliseconds(50));
  ASSERT_EQ(service->PlaylistRequests(), 1) << "the held answer did not go out";
  std::this_thread::sleep_for(seconds(3));
  EXPECT_EQ(PlaybackStatus(), QStringLiteral("Paused")) << "the song of the load started playing while paused";
}

// Two skips during one load: the second abandons the load of the first and asks for its song at
// once; the clicks are not kept and replayed after the held answer. The service's log holds the
// held request (logged when its answer went out, after 6 s) and exactly one more.
TEST_F(ListenerTest, TwoSkipsDuringOneHeldLoadMakeExactlyOneFurtherPlaylistRequest) {
  ASSERT_NO_FATAL_FAILURE(StartPlaying());
  const std::optional<Clock::time_point> held = SkipIntoAHeldLoad(6000);
  ASSERT_TRUE(held) << "the first skip made no playlist request";

  const Clock::time_point second = ClickAt(kNextX, kNextY);
  const Clock::time_point deadline = *held + seconds(30);
  while (service->PlaylistRequests() < 1 && Clock::now() < deadline) std::this_thread::sleep_for(milliseconds(10));
  const double took = Seconds(Clock::now() - second);
  RecordProperty("second_skip_request_ms", static_cast<int>(took * 1000));
  // The held answer cannot have gone out before 6 s from its request: an answer within 3 s of
  // the second click is the second skip's.
  EXPECT_LE(took, 3.0) << "the second skip's playlist answer came " << took
                       << " s after its click; the skip waited for the held load";

  // Settled: the held answer has gone out, and any request a queued click would make has too.
  std::this_thread::sleep_until(std::max(Clock::now(), *held + seconds(6 + 6)));
  const int requests = service->PlaylistRequests();
  RecordProperty("playlist_requests", requests);
  EXPECT_EQ(requests, 2) << "playlist requests after two skips: the held one and one further";
  // Every load that runs its course fetches its song's cover; the abandoned one goes no further
  // than its playlist request.
  QStringList covers = service->Targets("/img/covers/");
  covers.removeDuplicates();
  EXPECT_EQ(covers.size(), 1) << "covers fetched after the skips: " << covers.join(", ").toStdString();
  EXPECT_EQ(PlaybackStatus(), QStringLiteral("Playing")) << "the second skip's song plays";
}

// A box (a picture that cannot be decoded) holds the window's input; the window manager's close
// and Ctrl+Q typed into the box still end the program within a second, the box with it.
TEST_F(ListenerTest, CloseAndCtrlQEndTheProgramWithinASecondWhileABoxIsOpen) {
  for (const bool by_key : {false, true}) {
    SCOPED_TRACE(by_key ? "Ctrl+Q" : "window manager's close");
    ASSERT_NO_FATAL_FAILURE(StartPlaying());
    service->AddFault(R"({"target":"picture","kind":"garbage","match":"/covers/"})");
    ClickAt(kNextX, kNextY);
    const Clock::time_point deadline = Clock::now() + kServiceLimit;
    // The box is captioned with the program's name; the main window's caption follows the song.
    const auto box_shown = [&] {
      const std::optional<XServer::WindowId> box = Desktop::X().FindWindow(program->Pid(), kWindowTitle);
      return box && *box != window;
    };
    while (!box_shown() && Clock::now() < deadline) std::this_thread::sleep_for(milliseconds(20));
    ASSERT_TRUE(box_shown()) << "no box over the window";
    std::this_thread::sleep_for(milliseconds(300));  // the box has the focus

    if (by_key) {
      Desktop::X().TypeKey("q", true);
    } else {
      Desktop::X().RequestClose(window);
    }
    const Clock::time_point asked = Clock::now();
    const bool ended_in_time = program->WaitForEnd(seconds(1));
    const bool ended = ended_in_time || program->WaitForEnd(seconds(10));
    const double took = Seconds((ended ? program->EndedAt() : Clock::now()) - asked);
    RecordProperty(by_key ? "ctrl_q_with_box_ms" : "close_with_box_ms", static_cast<int>(took * 1000));
    EXPECT_TRUE(ended_in_time) << "the program " << (ended ? "ended " : "still ran ") << took << " s after the close";
    if (ended) {
      EXPECT_TRUE(WIFEXITED(program->Status()) && WEXITSTATUS(program->Status()) == 0) << Describe(program->Status());
    }
    program.reset();
    const Clock::time_point released_by = Clock::now() + seconds(10);
    while (PlayerNameTaken() && Clock::now() < released_by) std::this_thread::sleep_for(milliseconds(20));
  }
}

// Paused, then skipped: the next song plays and the play/pause button shows the pause again, the
// same look as while the first song played.
TEST_F(ListenerTest, AfterPauseThenSkipTheButtonShowsThePauseAgain) {
  ASSERT_NO_FATAL_FAILURE(StartPlaying());
  const std::vector<unsigned long> playing = PlayPauseLook();
  ASSERT_FALSE(playing.empty()) << "the window's pixels cannot be read";

  ClickAt(kPlayPauseX, kPlayPauseY);
  ASSERT_TRUE(StatusBecomes("Paused"));
  EXPECT_NE(PlayPauseLook(), playing) << "paused, the button must offer play";

  ClickAt(kNextX, kNextY);
  ASSERT_TRUE(StatusBecomes("Playing")) << "the skip's song does not play";
  EXPECT_EQ(PlayPauseLook(), playing) << "the button offers play while the song plays";
}

}  // namespace
}  // namespace orvelle::test
