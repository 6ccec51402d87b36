#include "console/web/web_settings.h"

#include <gtest/gtest.h>

namespace helmsman::web {
namespace {

TEST(WebSettingsTest, ParseAndTextRoundTrip) {
  WebSettings defaults = ParseWebSettings("");
  EXPECT_FALSE(defaults.enabled);
  EXPECT_EQ(defaults.address, "127.0.0.1");
  EXPECT_EQ(defaults.port, 8470);

  const WebSettings read = ParseWebSettings(
      "Enabled=1\r\nAddress = 10.1.2.3 \r\nPort=99999\r\nCertificate=C:\\tls\\helm.pem\r\n"
      "Key=/etc/helm key.pem\r\nnoise\r\nColour=blue\r\n");
  EXPECT_TRUE(read.enabled);
  EXPECT_EQ(read.address, "10.1.2.3");
  EXPECT_EQ(read.port, 65535);  // clamped
  EXPECT_EQ(read.certificate, "C:\\tls\\helm.pem");
  EXPECT_EQ(read.key, "/etc/helm key.pem");
  EXPECT_TRUE(read.tls_configured());

  const WebSettings again = ParseWebSettings(WebSettingsText(read));
  EXPECT_EQ(again.address, read.address);
  EXPECT_EQ(again.port, read.port);
  EXPECT_EQ(again.key, read.key);
  // A bad value keeps the default; an empty address is none.
  const WebSettings bad = ParseWebSettings("Port=80x\nAddress=\nEnabled=yes\nPort=0\n");
  EXPECT_EQ(bad.port, 1);
  EXPECT_EQ(bad.address, "127.0.0.1");
  EXPECT_FALSE(bad.enabled);
}

TEST(WebSettingsTest, ScopeRule) {
  struct Row {
    const char* address;
    bool tls_configured;
    bool tls_built;
    bool allowed;
  } rows[] = {
      {"127.0.0.1", false, false, true}, {"127.200.3.4", false, false, true},
      {"::1", false, false, true},       {"LocalHost", false, false, true},
      {"0.0.0.0", false, false, false},  {"192.0.2.7", true, false, false},
      {"192.0.2.7", false, true, false}, {"192.0.2.7", true, true, true},
      {"::", true, true, true},          {"1127.0.0.1", false, true, false},
      {"127.0.0", false, true, false},   {"127.0.0.1.5", false, true, false},
      {"", true, true, false},
  };
  for (const Row& row : rows) {
    std::string message;
    EXPECT_EQ(CheckScope(row.address, row.tls_configured, row.tls_built, &message), row.allowed)
        << row.address;
    EXPECT_EQ(message.empty(), row.allowed) << row.address;
  }
  std::string message;
  CheckScope("0.0.0.0", true, false, &message);
  EXPECT_NE(message.find("this build has no TLS"), std::string::npos) << message;
  EXPECT_NE(message.find("reverse proxy"), std::string::npos) << message;
  CheckScope("0.0.0.0", false, true, &message);
  EXPECT_NE(message.find("Certificate= and Key= of HelmsmanWeb.ini"), std::string::npos)
      << message;
}

TEST(WebSettingsTest, Endpoint) {
  struct Row {
    const char* text;
    const char* address;  // null: refused
    int port;
  } rows[] = {
      {"127.0.0.1:8470", "127.0.0.1", 8470}, {"localhost:1", "localhost", 1},
      {"[::1]:65535", "::1", 65535},         {"::1:8470", nullptr, 0},
      {"[::1]8470", nullptr, 0},             {"[::1:8470", nullptr, 0},
      {"127.0.0.1", nullptr, 0},             {"127.0.0.1:0", nullptr, 0},
      {"127.0.0.1:65536", nullptr, 0},       {":8470", nullptr, 0},
      {"127.0.0.1:+80", nullptr, 0},         {"127.0.0.1:-80", nullptr, 0},
      {"[]:80", nullptr, 0},
  };
  for (const Row& row : rows) {
    std::string address;
    int port = 0;
    std::string error;
    const bool ok = ParseWebEndpoint(row.text, &address, &port, &error);
    EXPECT_EQ(ok, row.address != nullptr) << row.text << ": " << error;
    if (ok && row.address != nullptr) {
      EXPECT_EQ(address, row.address);
      EXPECT_EQ(port, row.port);
    } else {
      EXPECT_NE(error.find(std::string("\"") + row.text + "\""), std::string::npos) << error;
    }
  }
}

}  // namespace
}  // namespace helmsman::web
