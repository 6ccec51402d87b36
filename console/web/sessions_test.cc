#include "console/web/sessions.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace helmsman::web {
namespace {

class SessionsTest : public ::testing::Test {
 protected:
  int64_t now_ = 5000;
  Sessions sessions_{[this] { return now_; }};
};

TEST_F(SessionsTest, LoginFindsUntilIdleForThirtyMinutesAndActivityExtends) {
  const auto a = sessions_.Login("quill", Role::kModerator);
  const auto b = sessions_.Login("quill", Role::kModerator);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->id.size(), 64u);
  EXPECT_EQ(a->id.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_EQ(std::set<std::string>({a->id, a->csrf_token, b->id, b->csrf_token}).size(), 4u);

  now_ += 29 * 60;
  const auto view = sessions_.Find(a->id);
  ASSERT_TRUE(view);
  EXPECT_EQ(view->user, "quill");
  EXPECT_EQ(view->role, Role::kModerator);
  EXPECT_EQ(view->csrf_token, a->csrf_token);

  // a was used at 29 minutes, b not since its login.
  now_ += 2 * 60;
  EXPECT_TRUE(sessions_.Find(a->id));
  EXPECT_FALSE(sessions_.Find(b->id));
  EXPECT_FALSE(sessions_.CheckCsrf(b->id, b->csrf_token));
  EXPECT_EQ(sessions_.size(), 1u);
  now_ += 30 * 60;
  EXPECT_EQ(sessions_.Sweep(), 1u);
  EXPECT_FALSE(sessions_.Find(a->id));

  for (const std::string& id :
       {std::string(), std::string("zz"), std::string(64, '0'), std::string(64, 'A'), a->id + "0"})
    EXPECT_FALSE(sessions_.Find(id)) << id;
}

TEST_F(SessionsTest, LogoutRemoveUserAndCsrfBelongToTheirSession) {
  const auto mine = sessions_.Login("quill", Role::kAdmin);
  const auto other = sessions_.Login("vesk", Role::kViewer);
  const auto mine_too = sessions_.Login("quill", Role::kAdmin);
  ASSERT_TRUE(mine && other && mine_too);

  EXPECT_TRUE(sessions_.CheckCsrf(mine->id, mine->csrf_token));
  EXPECT_FALSE(sessions_.CheckCsrf(mine->id, other->csrf_token));
  EXPECT_FALSE(sessions_.CheckCsrf(mine->id, ""));
  EXPECT_FALSE(sessions_.CheckCsrf(mine->id, mine->csrf_token.substr(1)));
  EXPECT_FALSE(sessions_.CheckCsrf(mine->csrf_token, mine->csrf_token));

  EXPECT_TRUE(sessions_.Logout(other->id));
  EXPECT_FALSE(sessions_.Logout(other->id));
  EXPECT_FALSE(sessions_.Find(other->id));
  EXPECT_FALSE(sessions_.CheckCsrf(other->id, other->csrf_token));

  EXPECT_EQ(sessions_.RemoveUser("quil"), 0u);
  EXPECT_EQ(sessions_.RemoveUser("quill"), 2u);
  EXPECT_FALSE(sessions_.Find(mine->id));
  EXPECT_FALSE(sessions_.Find(mine_too->id));
}

TEST_F(SessionsTest, AFullTableLetsTheExpiredThenTheIdlestGo) {
  Sessions small([this] { return now_; }, 3);
  const auto old = small.Login("a", Role::kViewer);
  now_ += 31 * 60;
  const auto first = small.Login("b", Role::kViewer);
  const auto second = small.Login("c", Role::kViewer);
  ASSERT_TRUE(old && first && second);
  EXPECT_TRUE(small.Find(first->id));  // second is now the idlest, within the same second
  const auto third = small.Login("d", Role::kViewer);
  ASSERT_TRUE(third);
  EXPECT_EQ(small.size(), 3u);  // old expired and made room
  EXPECT_TRUE(small.Login("e", Role::kViewer));
  EXPECT_EQ(small.size(), 3u);
  EXPECT_FALSE(small.Find(second->id));
  EXPECT_TRUE(small.Find(first->id));
  EXPECT_TRUE(small.Find(third->id));

  for (size_t i = 0; i < kMaxSessions + 50; ++i) sessions_.Login("flood", Role::kViewer);
  EXPECT_EQ(sessions_.size(), kMaxSessions);
}

TEST(LoginLimiterTest, SixthFailureInAMinuteIsRefusedPerAddressUntilTheMinuteIsOver) {
  int64_t now = 100;
  LoginLimiter limiter([&] { return now; });
  for (int i = 0; i < 5; ++i) {
    EXPECT_TRUE(limiter.Allowed("10.0.0.1")) << i;
    limiter.Failed("10.0.0.1");
    now += 5;
  }
  limiter.Failed("10.0.0.2");
  EXPECT_FALSE(limiter.Allowed("10.0.0.1"));
  EXPECT_EQ(limiter.RetryAfterSeconds("10.0.0.1"), 35);
  EXPECT_TRUE(limiter.Allowed("10.0.0.2"));
  EXPECT_EQ(limiter.RetryAfterSeconds("10.0.0.2"), 0);
  limiter.Succeeded("10.0.0.2");  // clears its own count only
  EXPECT_FALSE(limiter.Allowed("10.0.0.1"));
  now += 34;
  EXPECT_EQ(limiter.RetryAfterSeconds("10.0.0.1"), 1);
  now += 1;
  EXPECT_TRUE(limiter.Allowed("10.0.0.1"));

  // A success clears the count: five more failures are allowed.
  for (int i = 0; i < 4; ++i) limiter.Failed("10.0.0.3");
  limiter.Succeeded("10.0.0.3");
  for (int i = 0; i < 4; ++i) limiter.Failed("10.0.0.3");
  EXPECT_TRUE(limiter.Allowed("10.0.0.3"));
  limiter.Failed("10.0.0.3");
  EXPECT_FALSE(limiter.Allowed("10.0.0.3"));
}

TEST(LoginLimiterTest, TracksABoundedNumberOfAddressesDroppingTheOldest) {
  int64_t now = 100;
  LoginLimiter limiter([&] { return now; }, 3);
  for (const char* address : {"a", "b", "c"}) {
    for (int i = 0; i < 5; ++i) limiter.Failed(address);
    ++now;
  }
  limiter.Failed("d");
  EXPECT_EQ(limiter.size(), 3u);
  EXPECT_TRUE(limiter.Allowed("a"));
  EXPECT_FALSE(limiter.Allowed("b"));
  EXPECT_FALSE(limiter.Allowed("c"));

  // Long texts are cut, so they cannot make the table large either.
  const std::string long_address(100000, 'x');
  for (int i = 0; i < 5; ++i) limiter.Failed(long_address);
  EXPECT_FALSE(limiter.Allowed(std::string(kMaxLoginAddressBytes, 'x') + "y"));

  LoginLimiter big([&] { return now; });
  for (size_t i = 0; i < kMaxLoginAddresses + 50; ++i) big.Failed(std::to_string(i));
  EXPECT_EQ(big.size(), kMaxLoginAddresses);
}

TEST(SessionCookieTest, CookieTextsAndHostileHeaders) {
  const std::string id(64, 'a');
  EXPECT_EQ(SessionCookie(id, false),
            "helmsman_session=" + id + "; Path=/; HttpOnly; SameSite=Strict");
  EXPECT_EQ(SessionCookie(id, true),
            "helmsman_session=" + id + "; Path=/; HttpOnly; SameSite=Strict; Secure");
  for (const char* bad : {"", "a;b", "a b", "a\r\nSet-Cookie: x=1", "a,b", "\"a\"", "a\\"})
    EXPECT_EQ(SessionCookie(bad, true), "") << bad;
  EXPECT_EQ(ExpiredSessionCookie(true),
            "helmsman_session=; Max-Age=0; Path=/; HttpOnly; SameSite=Strict; Secure");
  EXPECT_EQ(ExpiredSessionCookie(false),
            "helmsman_session=; Max-Age=0; Path=/; HttpOnly; SameSite=Strict");

  struct Case {
    std::string header;
    std::optional<std::string> value;
  };
  const Case cases[] = {
      {"helmsman_session=abc", "abc"},
      {"theme=dark;  helmsman_session = abc ; lang=en", "abc"},
      {"xhelmsman_session=no; helmsman_sessionx=no; helmsman_session=yes", "yes"},
      {"helmsman_session=first; helmsman_session=second", "first"},
      {"helmsman_session=\"quoted\"", "quoted"},
      {"helmsman_session=\"", "\""},
      {"helmsman_session=", ""},
      {"helmsman_session=a=b", "a=b"},
      {"HELMSMAN_SESSION=abc", std::nullopt},
      {"helmsman_session", std::nullopt},
      {"", std::nullopt},
      {";;;;====;;", std::nullopt},
      {std::string("helmsman_session=\0x", 19), std::string("\0x", 2)},
      {"a=1; helmsman_session=" + std::string(kMaxCookieHeaderBytes, 'a'), std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CookieValue(c.header, "helmsman_session"), c.value) << c.header;
  EXPECT_EQ(CookieValue("=x", ""), std::nullopt);
}

}  // namespace
}  // namespace helmsman::web
