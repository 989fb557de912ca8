#pragma once

// Downloading a picture into an image control's picture, with the shared client.

#include "radio/client_requests.h"
#include "service/picture/picture_container.h"

#include <exception>
#include <functional>

namespace orvelle {

// The User-Agent texts the two downloads leave on the client.
inline constexpr char kPlainPictureUserAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1)";
inline constexpr char kDiscPictureUserAgent[] =
    "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; Maxthon; .NET CLR 1.1.4322)";

// The boxes a failed download shows.
inline constexpr char16_t kConnectionFailedText[] = u"连接失败！";
inline constexpr char16_t kEmptyPictureText[] = u"错误!";

// Called once the download has ended: with no error when the picture is in, or when the request
// failed or the body was empty (their box is then shown); with the error of a body that could not
// be read ("Stream read error" for a body of one byte) or decoded (its PictureError).
using PictureDone = std::function<void(std::exception_ptr error)>;

// Clears `image`, then GETs `url` with the picture request settings (they stay on the client for
// every later request) and loads the body into `image`. A failed request shows "连接失败！" and an
// empty body "错误!". Returns at once; `done` follows from the event loop. `image` must outlive
// the request unless it is cancelled. For the plain picture holders.
ClientRequests::Id DownloadPicture(ClientRequests& requests, PictureContainer& image, const QString& url,
                                   PictureDone done);
// Leaves on the client the settings a download for the rotating disc leaves (the second
// User-Agent text), without a request: the disc shows the picture the cover's download brought.
ClientRequests::Id LeaveDiscPictureSettings(ClientRequests& requests, std::function<void()> done);

}  // namespace orvelle
