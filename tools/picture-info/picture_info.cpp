// picture-info FILE [--pam OUT]
//
// Loads FILE through the picture container, as a downloaded picture is loaded, and prints
// the graphic's kind, width, height and transparency. With --pam, also writes the
// drawing-ready 32-bit pixels as a PAM file (P7, RGB_ALPHA). A failure prints the
// picture error's message and exits with 1; wrong arguments exit with 2.

#include "service/picture/picture_container.h"
#include "service/picture/picture_error.h"

#include <QBuffer>
#include <QFile>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int Usage() {
  std::fprintf(stderr, "usage: picture-info FILE [--pam OUT.pam]\n");
  return 2;
}

bool WritePam(const QImage& image, const char* path) {
  QFile out(QString::fromLocal8Bit(path));
  if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  const std::string header = "P7\nWIDTH " + std::to_string(image.width()) + "\nHEIGHT " +
                             std::to_string(image.height()) + "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
  out.write(header.data(), static_cast<qint64>(header.size()));
  QByteArray row(image.width() * 4, '\0');
  for (int y = 0; y < image.height(); ++y) {
    const auto* pixels = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      row[4 * x] = static_cast<char>(qRed(pixels[x]));
      row[4 * x + 1] = static_cast<char>(qGreen(pixels[x]));
      row[4 * x + 2] = static_cast<char>(qBlue(pixels[x]));
      row[4 * x + 3] = static_cast<char>(qAlpha(pixels[x]));
    }
    out.write(row);
  }
  return out.error() == QFileDevice::NoError;
}

}  // namespace

int main(int argc, char** argv) {
  const char* input = nullptr;
  const char* pam = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--pam") == 0) {
      if (++i >= argc) return Usage();
      pam = argv[i];
    } else if (!input) {
      input = argv[i];
    } else {
      return Usage();
    }
  }
  if (!input) return Usage();

  QFile file(QString::fromLocal8Bit(input));
  if (!file.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "picture-info: cannot read %s\n", input);
    return 1;
  }
  QBuffer buffer;
  buffer.setData(file.readAll());
  buffer.open(QIODevice::ReadOnly);

  orvelle::PictureContainer picture;
  try {
    picture.LoadFromStream(buffer);
    const orvelle::Graphic* graphic = picture.Graphic();
    const QImage image = graphic->ToImage();
    bool alpha = false;
    for (int y = 0; y < image.height() && !alpha; ++y) {
      const auto* pixels = reinterpret_cast<const QRgb*>(image.constScanLine(y));
      for (int x = 0; x < image.width(); ++x)
        if (qAlpha(pixels[x]) != 255) {
          alpha = true;
          break;
        }
    }
    std::printf("kind: %s\nwidth: %d\nheight: %d\ntransparent: %s\nalpha: %s\n", graphic->ClassName(),
                picture.Width(), picture.Height(), graphic->Transparent() ? "yes" : "no", alpha ? "yes" : "no");
    if (pam && !WritePam(image, pam)) {
      std::fprintf(stderr, "picture-info: cannot write %s\n", pam);
      return 1;
    }
  } catch (const orvelle::PictureError& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  return 0;
}
