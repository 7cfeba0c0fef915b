#include "service/web_session.h"

#include <gtest/gtest.h>
#include <sodium.h>

static const std::string HASH = "$argon2id$v=19$m=8,t=1,p=1$c2FsdHNhbHQ$aGFzaGhhc2hoYXNo";

class WebSession : public testing::Test {
protected:
    void SetUp() override { ASSERT_GE(sodium_init(), 0); }
};

TEST_F(WebSession, CookieHoldsOnlyForItsUserPasswordAndTime)
{
    WebSessionToken token = web_session_new(42, 1000);
    std::string cookie = web_session_encode(token, HASH);
    WebSessionToken parsed;
    ASSERT_TRUE(web_session_parse(cookie, &parsed));
    EXPECT_EQ(parsed.user_id, 42);
    EXPECT_EQ(parsed.expires_s, 1000);
    EXPECT_EQ(parsed.nonce, token.nonce);
    EXPECT_TRUE(web_session_check(cookie, parsed, HASH, 999));
    EXPECT_FALSE(web_session_check(cookie, parsed, HASH, 1000));       // expired
    EXPECT_FALSE(web_session_check(cookie, parsed, HASH + "x", 999));  // password changed

    // Another user id or a later expiry written into the cookie breaks its mac.
    for (const char* from_to : {"42.=43.", "42.1000.=42.9999."}) {
        std::string edit = from_to, from = edit.substr(0, edit.find('=')),
                    to = edit.substr(edit.find('=') + 1), forged = cookie;
        forged.replace(0, from.size(), to);
        ASSERT_TRUE(web_session_parse(forged, &parsed)) << forged;
        EXPECT_FALSE(web_session_check(forged, parsed, HASH, 999)) << forged;
    }
}

TEST_F(WebSession, MalformedCookiesAreRejected)
{
    std::string good = web_session_encode(web_session_new(7, 5), HASH);
    std::string mac = good.substr(good.rfind('.') + 1), nonce(32, 'a');
    for (const std::string& bad : {std::string(""), std::string("7"), good + ".1",
                                   "-7.5." + nonce + "." + mac, "7.5." + nonce + "." + mac + "0",
                                   "7.5." + nonce.substr(1) + "." + mac,
                                   "7.5." + std::string(32, 'A') + "." + mac,
                                   "7..." + mac, "7.5." + nonce + ".",
                                   "1234567890123456789.5." + nonce + "." + mac}) {
        WebSessionToken parsed;
        EXPECT_FALSE(web_session_parse(bad, &parsed)) << bad;
    }
}

TEST_F(WebSession, CsrfTokenIsPerSession)
{
    WebSessionToken a = web_session_new(1, 100), b = web_session_new(1, 100);
    EXPECT_NE(a.nonce, b.nonce);
    EXPECT_EQ(web_session_csrf(a, HASH), web_session_csrf(a, HASH));
    EXPECT_NE(web_session_csrf(a, HASH), web_session_csrf(b, HASH));
    EXPECT_NE(web_session_csrf(a, HASH), web_session_csrf(a, HASH + "x"));
    std::string cookie = web_session_encode(a, HASH);
    EXPECT_EQ(cookie.find(web_session_csrf(a, HASH)), std::string::npos);
    EXPECT_EQ(web_session_csrf(a, HASH).size(), 64u);
}
