// The web console's settings, in their own file "HelmsmanWeb.ini" in the program folder, beside
// the six settings files (whose fixed layout they stay out of). Lines "Key=Value", CR LF;
// unknown keys and lines are ignored, a port out of range is clamped.
//
//   Enabled=0             1 starts the web console's HTTP server with the console
//   Address=127.0.0.1     the address it listens on; loopback unless TLS is set up
//   Port=8470             its port
//   Certificate=          TLS certificate file (PEM); needed for any non-loopback address
//   Key=                  the certificate's private key file (PEM)
#ifndef HELMSMAN_CONSOLE_WEB_WEB_SETTINGS_H_
#define HELMSMAN_CONSOLE_WEB_WEB_SETTINGS_H_

#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace helmsman::web {

inline constexpr char kWebSettingsFileName[] = "HelmsmanWeb.ini";
inline constexpr char kDefaultWebAddress[] = "127.0.0.1";
inline constexpr int kDefaultWebPort = 8470;

struct WebSettings {
  bool enabled = false;
  std::string address = kDefaultWebAddress;
  int port = kDefaultWebPort;
  std::string certificate;
  std::string key;

  bool tls_configured() const { return !certificate.empty() && !key.empty(); }
};

// The settings of a file's text.
WebSettings ParseWebSettings(std::string_view text);
std::string WebSettingsText(const WebSettings& settings);

enum class WebLoad { kLoaded, kNoFile, kUnreadable };
// Reads the file in program_folder into *settings (the defaults when there is none).
WebLoad LoadWebSettings(platform::FileSystem& files, const std::string& program_folder,
                        WebSettings* settings, std::string* error);
bool SaveWebSettings(platform::FileSystem& files, const std::string& program_folder,
                     const WebSettings& settings, std::string* error);

// "localhost", 127.0.0.0/8 in dotted decimal and "::1". Other spellings of a loopback address
// are taken as not loopback, which only ever asks for more (TLS), never less.
bool IsLoopbackAddress(std::string_view address);

// Whether the server may listen on address: a loopback address always; any other only with a
// certificate and key configured in a build with TLS. False and *message (the operator's text)
// otherwise.
bool CheckScope(std::string_view address, bool tls_configured, bool tls_built,
                std::string* message);

// "ADDRESS:PORT" of --web: "127.0.0.1:8470", "localhost:8470", "[::1]:8470" (an IPv6 address
// in brackets). False and *error when it is none.
bool ParseWebEndpoint(std::string_view text, std::string* address, int* port,
                      std::string* error);

}  // namespace helmsman::web

#endif  // HELMSMAN_CONSOLE_WEB_WEB_SETTINGS_H_
