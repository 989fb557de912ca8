#pragma once

// Downloading a picture into an image control's picture, with the shared client.

#include "service/http/http_client.h"
#include "service/picture/picture_container.h"

namespace orvelle {

// The User-Agent texts the two downloads leave on the client.
inline constexpr char kPlainPictureUserAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1)";
inline constexpr char kDiscPictureUserAgent[] =
    "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; Maxthon; .NET CLR 1.1.4322)";

// The boxes a failed download shows.
inline constexpr char16_t kConnectionFailedText[] = u"连接失败！";
inline constexpr char16_t kEmptyPictureText[] = u"错误!";

// Clears `image`, sets the client's picture request settings (they stay on it for every later
// request), GETs `url` and loads the body into `image`. A failed request shows "连接失败！" and
// an empty body "错误!"; both return normally. A body of one byte fails with Error "Stream read
// error", a body that cannot be decoded with its PictureError; those come out of the call.
// For the plain picture holders.
void DownloadPicture(http::HttpClient& client, PictureContainer& image, const QString& url);
// The same for the rotating disc, with the second User-Agent text.
void DownloadDiscPicture(http::HttpClient& client, PictureContainer& image, const QString& url);

}  // namespace orvelle
