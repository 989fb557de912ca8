#pragma once

// The shared HTTP client's GET, run off the user-interface thread while the windows go on
// (toolkit/network_wait.h). Errors are the client's; RequestAbandoned when the program closes
// during the request.

#include "service/http/http_client.h"

namespace orvelle {

QString GetText(http::HttpClient& client, const QString& url);
void GetBytes(http::HttpClient& client, const QString& url, QByteArray& buffer);

}  // namespace orvelle
