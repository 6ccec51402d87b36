#include "console/web/web_settings.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "console/settings/text_lines.h"

namespace helmsman::web {

namespace {

// A whole number of the whole text; false when it is none.
bool ReadNumber(std::string_view text, long long* number) {
  if (text.empty() || text.front() == '+') return false;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *number);
  if (end != text.data() + text.size()) return false;
  if (ec == std::errc::result_out_of_range) {
    *number = text.starts_with('-') ? -1 : 1LL << 40;
    return true;
  }
  return ec == std::errc();
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

// The first octet of a dotted-decimal IPv4 address (four numbers 0..255); -1 when it is none.
int FirstOctet(std::string_view address) {
  int first = -1;
  for (int part = 0; part < 4; ++part) {
    const size_t dot = address.find('.');
    if ((part < 3) != (dot != std::string_view::npos)) return -1;
    const std::string_view digits = address.substr(0, dot);
    if (digits.empty() || digits.size() > 3 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      return -1;
    }
    const int value = std::stoi(std::string(digits));
    if (value > 255) return -1;
    if (part == 0) first = value;
    if (dot != std::string_view::npos) address.remove_prefix(dot + 1);
  }
  return first;
}

// The text in double quotes (appended, which keeps GCC 12's -Wrestrict quiet).
std::string Quoted(std::string_view text) {
  std::string quoted = "\"";
  quoted.append(text);
  quoted += '"';
  return quoted;
}

}  // namespace

WebSettings ParseWebSettings(std::string_view text) {
  WebSettings settings;
  settings::ForEachKeyValue(text, [&](std::string_view key, std::string_view value) {
    long long number = 0;
    if (key == "Enabled") {
      if (ReadNumber(value, &number)) settings.enabled = number != 0;
    } else if (key == "Address") {
      if (!value.empty()) settings.address = std::string(value);
    } else if (key == "Port") {
      if (ReadNumber(value, &number)) {
        settings.port = static_cast<int>(std::clamp<long long>(number, 1, 65535));
      }
    } else if (key == "Certificate") {
      settings.certificate = std::string(value);
    } else if (key == "Key") {
      settings.key = std::string(value);
    }
  });
  return settings;
}

std::string WebSettingsText(const WebSettings& settings) {
  return "Enabled=" + std::string(settings.enabled ? "1" : "0") + "\r\n" +
         "Address=" + settings.address + "\r\n" +  //
         "Port=" + std::to_string(settings.port) + "\r\n" +
         "Certificate=" + settings.certificate + "\r\n" +  //
         "Key=" + settings.key + "\r\n";
}

WebLoad LoadWebSettings(platform::FileSystem& files, const std::string& program_folder,
                        WebSettings* settings, std::string* error) {
  *settings = WebSettings();
  const std::string path = platform::JoinPath(program_folder, kWebSettingsFileName);
  if (!files.FileExists(path)) return WebLoad::kNoFile;
  std::string text;
  if (!files.ReadFile(path, &text, error)) return WebLoad::kUnreadable;
  *settings = ParseWebSettings(text);
  return WebLoad::kLoaded;
}

bool SaveWebSettings(platform::FileSystem& files, const std::string& program_folder,
                     const WebSettings& settings, std::string* error) {
  return files.WriteFileDurably(platform::JoinPath(program_folder, kWebSettingsFileName),
                                WebSettingsText(settings), error);
}

bool IsLoopbackAddress(std::string_view address) {
  return EqualsIgnoringCase(address, "localhost") || address == "::1" ||
         FirstOctet(address) == 127;
}

bool CheckScope(std::string_view address, bool tls_configured, bool tls_built,
                std::string* message) {
  if (address.empty()) {
    *message = "The web console has no address to listen on.";
    return false;
  }
  if (IsLoopbackAddress(address)) return true;
  const std::string quoted = Quoted(address);
  if (!tls_built) {
    *message = "The web console refuses the address " + quoted +
               ": this build has no TLS, so it listens only on a loopback address "
               "(127.0.0.1, ::1 or localhost). To reach it from other machines, keep it on "
               "127.0.0.1 and put a reverse proxy with TLS in front of it.";
    return false;
  }
  if (!tls_configured) {
    *message = "The web console refuses the address " + quoted +
               ": any address but a loopback one needs TLS. Name the certificate and its key "
               "in Certificate= and Key= of " +
               std::string(kWebSettingsFileName) +
               ", or keep it on 127.0.0.1 behind a reverse proxy with TLS.";
    return false;
  }
  return true;
}

bool ParseWebEndpoint(std::string_view text, std::string* address, int* port,
                      std::string* error) {
  const std::string quoted = Quoted(text);
  std::string_view host;
  std::string_view rest;
  if (text.starts_with('[')) {
    const size_t close = text.find(']');
    if (close == std::string_view::npos) {
      *error = "--web: the IPv6 address in " + quoted + " has no closing bracket";
      return false;
    }
    host = text.substr(1, close - 1);
    rest = text.substr(close + 1);
    if (!rest.starts_with(':')) {
      *error = "--web takes ADDRESS:PORT, not " + quoted;
      return false;
    }
    rest.remove_prefix(1);
  } else {
    const size_t colon = text.rfind(':');
    if (colon == std::string_view::npos) {
      *error = "--web takes ADDRESS:PORT, not " + quoted;
      return false;
    }
    host = text.substr(0, colon);
    rest = text.substr(colon + 1);
    if (host.find(':') != std::string_view::npos) {
      *error = "--web: an IPv6 address goes in brackets, as in [::1]:" +
               std::to_string(kDefaultWebPort) + ", not " + quoted;
      return false;
    }
  }
  long long number = 0;
  if (host.empty() || !ReadNumber(rest, &number) || rest.starts_with('-') || number < 1 ||
      number > 65535) {
    *error = "--web takes ADDRESS:PORT with a port from 1 to 65535, not " + quoted;
    return false;
  }
  *address = std::string(host);
  *port = static_cast<int>(number);
  return true;
}

}  // namespace helmsman::web
