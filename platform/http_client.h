// An HTTP(S) POST, for the console's alerts: libcurl on POSIX, WinHTTP on Windows.
//
// The certificate and the host name of an https:// address are verified (against the
// system's certificate authorities, or against ca_file where given, POSIX only); a
// certificate that does not verify is refused. A redirect is not followed: its status is the
// answer. The whole exchange takes at most timeout_ms. Each call is independent and may run
// on any thread; it blocks that thread, so the console calls it off its own.
#ifndef HELMSMAN_PLATFORM_HTTP_CLIENT_H_
#define HELMSMAN_PLATFORM_HTTP_CLIENT_H_

#include <string>

namespace helmsman::platform {

struct HttpPostOptions {
  int timeout_ms = 10000;
  std::string ca_file;  // PEM certificates to trust instead of the system's (tests)
};

struct HttpPostResult {
  int status = 0;                 // the HTTP status; 0 when no answer came
  int retry_after_seconds = -1;   // a Retry-After in seconds; -1 when none
  std::string error;              // why no answer came: time-out, name, refused, certificate
};

// Posts body with the given Content-Type to url (http:// or https://).
HttpPostResult HttpPost(const std::string& url, const std::string& content_type,
                        const std::string& body, const HttpPostOptions& options = {});

}  // namespace helmsman::platform

#endif  // HELMSMAN_PLATFORM_HTTP_CLIENT_H_
