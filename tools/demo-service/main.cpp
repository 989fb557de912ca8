// orvelle-demo-service: a local radio service that answers like the Kestra service, for trying
// Orvelle out and for end-to-end tests. Prints the base address it serves on its first line.

#include "audio.h"
#include "catalogue.h"
#include "faults.h"
#include "pictures.h"
#include "service.h"
#include "service/error.h"
#include "tls.h"

#include <QGuiApplication>

#include <httplib.h>

#include <sys/socket.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace orvelle::demo;

struct Options {
  std::string host = "127.0.0.1";
  int port = 0;
  std::optional<int> httpsPort;
  std::string caFile;
  bool escapeNonAscii = false;
  std::vector<std::string> faults;
};

constexpr const char* kUsage =
    "usage: orvelle-demo-service [--host ADDRESS] [--port N] [--https-port N [--ca-file PATH]]\n"
    "                            [--escape-unicode] [--fault JSON]...\n"
    "  --host ADDRESS   address to listen on (default 127.0.0.1)\n"
    "  --port N         plain HTTP port; 0 picks a free one (default 0)\n"
    "  --https-port N   also serve HTTPS on this port (0: a free one), with a certificate made at\n"
    "                   start for 127.0.0.1, ::1 and localhost\n"
    "  --ca-file PATH   where to write the certificate authority (PEM) that signed it\n"
    "                   (default: a new temporary folder, removed at exit)\n"
    "  --escape-unicode write non-ASCII characters in answers as \\uXXXX escapes\n"
    "  --fault JSON     a fault switch pending from the start (same form as POST /_demo/faults)\n"
    "Prints the base address on the first line; with HTTPS, the HTTPS base address and the\n"
    "certificate authority's path on the second and third. Stops on SIGINT or SIGTERM.\n";

int parsePort(const std::string& text) {
  size_t used = 0;
  int port = -1;
  try {
    port = std::stoi(text, &used);
  } catch (const std::exception&) {
  }
  if (used != text.size() || port < 0 || port > 65535) throw orvelle::Error(QStringLiteral("bad port number"));
  return port;
}

Options parseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto value = [&]() -> std::string {
      if (i + 1 >= argc) throw orvelle::Error(QStringLiteral("%1 needs a value").arg(QString::fromStdString(arg)));
      return argv[++i];
    };
    if (arg == "--host") {
      options.host = value();
    } else if (arg == "--port") {
      options.port = parsePort(value());
    } else if (arg == "--https-port") {
      options.httpsPort = parsePort(value());
    } else if (arg == "--ca-file") {
      options.caFile = value();
    } else if (arg == "--escape-unicode") {
      options.escapeNonAscii = true;
    } else if (arg == "--fault") {
      options.faults.push_back(value());
    } else if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      std::exit(0);
    } else {
      throw orvelle::Error(QStringLiteral("unknown option %1").arg(QString::fromStdString(arg)));
    }
  }
  return options;
}

std::string baseUrl(const char* scheme, const std::string& host, int port) {
  const bool ipv6 = host.find(':') != std::string::npos;
  return std::string(scheme) + "://" + (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

int bindListener(httplib::Server& server, const std::string& host, int port) {
  // The library's default also sets SO_REUSEPORT, which would let a second service share the
  // port and take half of the requests; a port in use must be an error instead.
  server.set_socket_options([](int socket) {
    const int yes = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  if (port == 0) return server.bind_to_any_port(host);
  return server.bind_to_port(host, port) ? port : -1;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  try {
    options = parseOptions(argc, argv);
  } catch (const orvelle::Error& error) {
    std::cerr << "orvelle-demo-service: " << error.what() << "\n" << kUsage;
    return 2;
  }

  // Stop signals are taken by sigwait below; block them before any thread starts (Qt's or the
  // listeners'), so that every thread inherits the mask.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  // The pictures are drawn with QPainter, which needs a GUI application but no display.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);

  std::filesystem::path temporaryFolder;
  try {
    const Catalogue catalogue;
    const PictureStore pictures(catalogue);
    AudioStore audio(catalogue);
    FaultBoard faults;
    for (const std::string& fault : options.faults) faults.add(parseFault(fault));
    DemoService service(catalogue, pictures, audio, faults, options.escapeNonAscii);

    httplib::Server plain;
    const int port = bindListener(plain, options.host, options.port);
    if (port < 0) throw orvelle::Error(QStringLiteral("cannot listen on the plain port"));
    const std::string plainBase = baseUrl("http", options.host, port);
    service.install(plain, plainBase);

    std::optional<TlsIdentity> identity;
    std::unique_ptr<httplib::SSLServer> secure;
    std::string secureBase;
    if (options.httpsPort) {
      identity = makeTlsIdentity();
      if (options.caFile.empty()) {
        std::string pattern = (std::filesystem::temp_directory_path() / "orvelle-demo-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw orvelle::Error(QStringLiteral("cannot make a temporary folder"));
        temporaryFolder = pattern;
        options.caFile = (temporaryFolder / "ca.pem").string();
      }
      std::ofstream(options.caFile, std::ios::binary | std::ios::trunc) << toPem(identity->authority.get());
      if (!std::filesystem::exists(options.caFile))
        throw orvelle::Error(QStringLiteral("cannot write the certificate authority file"));
      secure = std::make_unique<httplib::SSLServer>(identity->server.get(), identity->serverKey.get());
      if (!secure->is_valid()) throw orvelle::Error(QStringLiteral("cannot set up TLS"));
      const int securePort = bindListener(*secure, options.host, *options.httpsPort);
      if (securePort < 0) throw orvelle::Error(QStringLiteral("cannot listen on the HTTPS port"));
      secureBase = baseUrl("https", options.host, securePort);
      service.install(*secure, secureBase);
    }

    std::thread plainThread([&] { plain.listen_after_bind(); });
    std::thread secureThread;
    if (secure) secureThread = std::thread([&] { secure->listen_after_bind(); });

    std::printf("%s\n", plainBase.c_str());
    if (secure) {
      std::printf("%s\n", secureBase.c_str());
      std::printf("%s\n", std::filesystem::absolute(options.caFile).c_str());
    }
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    plain.stop();
    if (secure) secure->stop();
    plainThread.join();
    if (secureThread.joinable()) secureThread.join();
  } catch (const std::exception& error) {
    std::cerr << "orvelle-demo-service: " << error.what() << "\n";
    if (!temporaryFolder.empty()) std::filesystem::remove_all(temporaryFolder);
    return 1;
  }
  if (!temporaryFolder.empty()) std::filesystem::remove_all(temporaryFolder);
  return 0;
}
