#include "console/alerts/alerts.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <future>

#include "console/web/http_server.h"
#include "platform/clock.h"
#include "platform/locale_texts.h"

namespace helmsman::alerts {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using namespace std::chrono_literals;

safety::JournalEntry Entry(std::string action, std::string character = "",
                           std::vector<std::pair<std::string, std::string>> details = {}) {
  return safety::JournalEntry{"2026-12-11T05:40:00", std::move(action), "rule:crash supervision",
                              "", std::move(character), std::move(details)};
}

TEST(AlertSettingsTest, WebhooksEventsAndWhatIsNotTaken) {
  std::vector<std::string> problems;
  const AlertSettings settings = ParseAlertSettings(
      "Webhook=content https://chat.example.org/hooks/1/s3cret\r\n"
      "Webhook=generic http://127.0.0.1:9000/helmsman\r\n"
      "Webhook=ftp ftp://example.org/x\r\nWebhook=generic gopher://x\r\n"
      "Webhook=generic http:// spaced.example.org/\r\n"
      "Events=crash, crash-budget,meteor\r\nServerTitle=Outer Rim One\r\n",
      &problems);
  ASSERT_EQ(settings.webhooks.size(), 2u);
  EXPECT_EQ(settings.webhooks[0].form, Form::kContent);
  EXPECT_EQ(settings.webhooks[1].url, "http://127.0.0.1:9000/helmsman");
  EXPECT_EQ(settings.events, (std::set<std::string>{"crash", "crash-budget"}));
  EXPECT_EQ(settings.server_title, "Outer Rim One");
  EXPECT_EQ(problems.size(), 4u);
  EXPECT_EQ(ParseAlertSettings("", nullptr).events.size(), EventKinds().size());
  std::string many;
  for (int i = 0; i < 20; ++i) many += "Webhook=generic http://h" + std::to_string(i) + "/\n";
  EXPECT_EQ(ParseAlertSettings(many, nullptr).webhooks.size(), kMaxWebhooks);

  EXPECT_EQ(SchemeAndHost("https://chat.example.org/hooks/1/s3cret"), "https://chat.example.org");
  EXPECT_EQ(SchemeAndHost("http://ann:pw@10.0.0.2:81?k=v"), "http://10.0.0.2:81");
}

TEST(AlertSettingsTest, BothFormsOfAnAlert) {
  const EventKind& crash = EventKinds()[0];
  const safety::JournalEntry entry =
      Entry("server-crash", "", {{"online", "Ann, Bj\xf6rn"}, {"report", "HelmsmanCrash-1.txt"}});
  EXPECT_EQ(ContentBody("Outer Rim", crash, entry),
            "{\"content\":\"**Outer Rim**: the server crashed: online=Ann, Bj\xc3\xb6rn, "
            "report=HelmsmanCrash-1.txt\"}");
  EXPECT_EQ(GenericBody("Outer Rim", crash, entry),
            "{\"event\":\"crash\",\"time\":\"2026-12-11T05:40:00\",\"server\":\"Outer Rim\","
            "\"actor\":\"rule:crash supervision\",\"account\":\"\",\"character\":\"\","
            "\"details\":{\"online\":\"Ann, Bj\xc3\xb6rn\",\"report\":\"HelmsmanCrash-1.txt\"}}");
  const std::string long_body =
      ContentBody("T", crash, Entry("server-crash", "", {{"online", std::string(5000, 'x')}}));
  EXPECT_LT(long_body.size(), kMaxContentBytes + 20);
}

class AlertsTest : public ::testing::Test {
 protected:
  AlertsTest() : logs_(clock_, locale_) {}
  std::vector<std::string> HelmLog() {
    std::vector<std::string> lines;
    for (const std::string& line : logs_.lines(logs::LogId::kHelmError)) {
      lines.push_back(line.substr(line.find(": ")));
    }
    return lines;
  }
  platform::FakeClock clock_;
  platform::PictureLocaleTexts locale_{"yyyy-MM-dd", "HH:mm:ss"};
  logs::Logs logs_;
};

TEST_F(AlertsTest, RetriesWaitsAndGivingUp) {
  AlertSettings settings;
  settings.webhooks = {{Form::kGeneric, "http://hooks.example.org/a/secret"}};
  settings.events = {"crash", "server-stopped"};
  std::mutex mutex;
  std::vector<int> answers = {500, 0, 429, 200,   // the crash: delivered at the fourth try
                              302};                // the stop: a redirect, not tried again
  std::vector<std::string> posted;
  std::vector<std::chrono::milliseconds> waits;
  Alerts alerts(
      settings, logs_,
      [&](const std::string& url, const std::string&, const std::string& body) {
        std::lock_guard lock(mutex);
        posted.push_back(url + " " + body.substr(0, 16));
        platform::HttpPostResult result;
        result.status = answers.front();
        answers.erase(answers.begin());
        if (result.status == 0) result.error = "timed out";
        if (result.status == 429) result.retry_after_seconds = 7;
        return result;
      },
      [&](std::chrono::milliseconds wait) { waits.push_back(wait); });
  alerts.Take(Entry("server-start"));  // switched off
  alerts.Take(Entry("server-crash"));
  alerts.Take(Entry("server-stop"));
  ASSERT_TRUE(alerts.Drain(5s));
  EXPECT_EQ(posted.size(), 5u);
  EXPECT_EQ(posted[0], "http://hooks.example.org/a/secret {\"event\":\"crash\"");
  EXPECT_THAT(waits, ElementsAre(1000ms, 2000ms, 7000ms));
  alerts.ReportFailures();
  EXPECT_THAT(HelmLog(), ElementsAre(": Alerts: the server-stopped alert to "
                                     "http://hooks.example.org was not delivered (status 302)"));

  // A webhook that always fails is tried five times, then said once.
  answers.assign(5, 503);
  alerts.Take(Entry("server-crash"));
  ASSERT_TRUE(alerts.Drain(5s));
  alerts.ReportFailures();
  EXPECT_EQ(posted.size(), 10u);
  EXPECT_THAT(HelmLog().back(), HasSubstr("was not delivered (status 503)"));
}

TEST_F(AlertsTest, AFullQueueDropsTheOldestAndSaysSoOnce) {
  AlertSettings settings;
  settings.webhooks = {{Form::kContent, "https://chat.example.org/h"}};
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<int> posts{0};
  Alerts alerts(settings, logs_,
                [&](const std::string&, const std::string&, const std::string&) {
                  released.wait();  // a webhook that does not answer yet
                  ++posts;
                  return platform::HttpPostResult{204, -1, ""};
                });
  for (int i = 0; i < 1500; ++i) alerts.Take(Entry("autoban", "Pilot " + std::to_string(i)));
  EXPECT_LE(alerts.queued(), Alerts::kMaxQueued);
  EXPECT_GE(alerts.queued(), Alerts::kMaxQueued - 1);
  EXPECT_THAT(HelmLog(), ElementsAre(": Alerts: 1000 alerts wait to be sent; the oldest are "
                                     "dropped"));
  release.set_value();
  ASSERT_TRUE(alerts.Drain(10s));
  EXPECT_LE(posts.load(), 1001);
}

// The platform's client against a receiver on loopback: delivered, a redirect not followed,
// a receiver that never answers, an address that does not resolve.
TEST(HttpPostTest, AgainstALocalReceiver) {
  std::mutex mutex;
  std::vector<std::string> received;
  web::HttpServer receiver({}, [&](web::HttpRequest request, web::HttpReply reply) {
    {
      std::lock_guard lock(mutex);
      received.push_back(request.target + " " + request.body);
    }
    web::HttpResponse response;
    if (request.target == "/api/moved") {
      response.status = 302;
      response.headers.emplace_back("Location", "/api/hook");
    } else {
      response.status = 204;
    }
    reply(response);
  });
  std::string error;
  ASSERT_TRUE(receiver.Start("127.0.0.1", 0, &error)) << error;
  const std::string base = "http://127.0.0.1:" + std::to_string(receiver.port());
  platform::HttpPostResult result =
      platform::HttpPost(base + "/api/hook", "application/json", "{\"content\":\"hi\"}");
  EXPECT_EQ(result.status, 204) << result.error;
  result = platform::HttpPost(base + "/api/moved", "application/json", "{}");
  EXPECT_EQ(result.status, 302);
  {
    std::lock_guard lock(mutex);
    EXPECT_THAT(received, ElementsAre("/api/hook {\"content\":\"hi\"}", "/api/moved {}"));
  }

  // A listener that never accepts: the post times out.
  const int silent = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(silent, 1), 0);
  socklen_t length = sizeof address;
  getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length);
  platform::HttpPostOptions quick;
  quick.timeout_ms = 500;
  result = platform::HttpPost("http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/",
                              "application/json", "{}", quick);
  EXPECT_EQ(result.status, 0);
  EXPECT_THAT(result.error, HasSubstr("imed out"));
  close(silent);

  result = platform::HttpPost("http://no-such-host.invalid/", "application/json", "{}", quick);
  EXPECT_EQ(result.status, 0);
  EXPECT_FALSE(result.error.empty());
}

// Over HTTPS: a certificate from the test's own authority is taken when that authority is
// trusted, and refused when it is not.
TEST(HttpPostTest, HttpsVerifiesTheCertificate) {
  const std::string dir = ::testing::TempDir() + "helmsman_alert_tls_" + std::to_string(getpid());
  const std::string make =
      "set -e; mkdir -p " + dir + "; cd " + dir +
      "; openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2"
      " -subj '/CN=Helmsman Test Authority' 2>/dev/null"
      "; openssl req -newkey rsa:2048 -nodes -keyout server.key -out server.csr"
      " -subj '/CN=127.0.0.1' 2>/dev/null"
      "; printf 'subjectAltName=IP:127.0.0.1\\n' > ext.cnf"
      "; openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial"
      " -out server.pem -days 2 -extfile ext.cnf 2>/dev/null";
  ASSERT_EQ(std::system(make.c_str()), 0);
  std::atomic<int> received{0};
  web::HttpServer receiver({}, [&](web::HttpRequest, web::HttpReply reply) {
    ++received;
    reply(web::HttpResponse{204, "text/plain", "", {}, nullptr});
  });
  std::string error;
  ASSERT_TRUE(receiver.StartTls("127.0.0.1", 0, {dir + "/server.pem", dir + "/server.key"}, &error))
      << error;
  const std::string url = "https://127.0.0.1:" + std::to_string(receiver.port()) + "/api/hook";
  platform::HttpPostOptions trusting;
  trusting.ca_file = dir + "/ca.pem";
  EXPECT_EQ(platform::HttpPost(url, "application/json", "{}", trusting).status, 204);
  const platform::HttpPostResult refused = platform::HttpPost(url, "application/json", "{}");
  EXPECT_EQ(refused.status, 0);
  EXPECT_FALSE(refused.error.empty());
  EXPECT_EQ(received.load(), 1);
  receiver.Stop();
  std::system(("rm -rf " + dir).c_str());
}

}  // namespace
}  // namespace helmsman::alerts
