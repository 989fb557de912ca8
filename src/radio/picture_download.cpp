#include "radio/picture_download.h"

#include "service/error.h"
#include "service/log.h"
#include "toolkit/message_box.h"

#include <QBuffer>
#include <QElapsedTimer>

namespace orvelle {
namespace {

void SetPictureRequestSettings(http::HttpClient& client, const char* user_agent) {
  client.Request.Accept = QStringLiteral("*/*");
  client.Request.AcceptLanguage = QStringLiteral("zh-cn");
  client.Request.UserAgent = QString::fromLatin1(user_agent);
  client.Request.Connection = QStringLiteral("Keep-Alive");
  client.HTTPOptions |= http::hoKeepOrigProtocol;
  client.ProtocolVersion = http::pv1_1;
}

// The body's first two bytes are read before the picture is loaded; their value is not used,
// but a body of one byte cannot give them.
void ReadLeadingBytes(QBuffer& buffer) {
  char leading[2];
  if (buffer.read(leading, sizeof leading) != sizeof leading) throw Error(QStringLiteral("Stream read error"));
}

// Loads the answer into `image`: a failed request and an empty body show their box and load
// nothing; a body that cannot be read or decoded throws.
void LoadAnswer(PictureContainer& image, const QString& url, QByteArray bytes, std::exception_ptr request_error) {
  if (request_error) {
    try {
      std::rethrow_exception(request_error);
    } catch (const std::exception& error) {
      qCWarning(lcPicture) << "picture request failed:" << AddressForLog(url) << error.what();
    }
    ShowMessage(QString::fromUtf16(kConnectionFailedText));
    return;
  }
  if (bytes.isEmpty()) {
    qCWarning(lcPicture) << "picture answer is empty:" << AddressForLog(url);
    ShowMessage(QString::fromUtf16(kEmptyPictureText));
    return;
  }
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  ReadLeadingBytes(buffer);
  buffer.seek(0);
  image.LoadFromStream(buffer);
}

ClientRequests::Id Download(ClientRequests& requests, PictureContainer& image, const QString& url,
                            const char* user_agent, PictureDone done) {
  image.Assign(static_cast<const PictureContainer*>(nullptr));
  return requests.GetBytes(
      url, [user_agent](http::HttpClient& client) { SetPictureRequestSettings(client, user_agent); },
      [&image, url, done = std::move(done)](const QByteArray& bytes, std::exception_ptr request_error) {
        std::exception_ptr load_error;
        QElapsedTimer decoding;
        decoding.start();
        try {
          LoadAnswer(image, url, bytes, request_error);
        } catch (...) {
          load_error = std::current_exception();
        }
        qCDebug(lcLoad) << "picture of" << bytes.size() << "bytes decoded and shown in" << decoding.elapsed() << "ms";
        done(load_error);
      });
}

}  // namespace

ClientRequests::Id DownloadPicture(ClientRequests& requests, PictureContainer& image, const QString& url,
                                   PictureDone done) {
  return Download(requests, image, url, kPlainPictureUserAgent, std::move(done));
}

ClientRequests::Id LeaveDiscPictureSettings(ClientRequests& requests, std::function<void()> done) {
  return requests.Configure([](http::HttpClient& client) { SetPictureRequestSettings(client, kDiscPictureUserAgent); },
                            std::move(done));
}

}  // namespace orvelle
