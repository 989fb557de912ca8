#include "radio/picture_download.h"

#include "radio/client_requests.h"
#include "service/log.h"
#include "toolkit/message_box.h"
#include "toolkit/network_wait.h"

#include <QBuffer>

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

// The picture's bytes, or none (after its box) when the request failed.
bool FetchPicture(http::HttpClient& client, const QString& url, QByteArray& buffer) {
  try {
    GetBytes(client, url, buffer);
    return true;
  } catch (const RequestAbandoned&) {
    throw;
  } catch (const std::exception& error) {
    qCDebug(lcPicture) << "picture request failed:" << AddressForLog(url) << error.what();
    ShowMessage(QString::fromUtf16(kConnectionFailedText));
    return false;
  }
}

// The body's first two bytes are read before the picture is loaded; their value is not used,
// but a body of one byte cannot give them.
void ReadLeadingBytes(QBuffer& buffer) {
  char leading[2];
  if (buffer.read(leading, sizeof leading) != sizeof leading) throw Error(QStringLiteral("Stream read error"));
}

void DownloadPicture(http::HttpClient& client, PictureContainer& image, const QString& url, const char* user_agent) {
  image.Assign(static_cast<const PictureContainer*>(nullptr));
  QByteArray bytes;
  SetPictureRequestSettings(client, user_agent);
  if (!FetchPicture(client, url, bytes)) return;
  if (bytes.isEmpty()) {
    qCDebug(lcPicture) << "picture answer is empty:" << AddressForLog(url);
    ShowMessage(QString::fromUtf16(kEmptyPictureText));
    return;
  }
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  ReadLeadingBytes(buffer);
  buffer.seek(0);
  image.LoadFromStream(buffer);
}

}  // namespace

void DownloadPicture(http::HttpClient& client, PictureContainer& image, const QString& url) {
  DownloadPicture(client, image, url, kPlainPictureUserAgent);
}

void DownloadDiscPicture(http::HttpClient& client, PictureContainer& image, const QString& url) {
  DownloadPicture(client, image, url, kDiscPictureUserAgent);
}

}  // namespace orvelle
