// Sign-in sessions of the page.
//
// A session is a signed cookie, not a row: "<user id>.<expiry>.<nonce>.<mac>",
// where the mac is a keyed BLAKE2b hash (libsodium crypto_generichash) of the
// rest under a key drawn from the user's stored password hash. So every
// instance of the service that shares the database accepts it, a password
// change ends all of that user's sessions, and nothing is written to the
// database at sign-in. The expiry moves forward as the session is used
// (idle expiry). The page's anti-forgery token is a second hash of the
// nonce under the same key: tied to the session, unknown to another site.
#pragma once

#include <cstdint>
#include <string>

struct WebSessionToken {
    int64_t user_id = 0;
    int64_t expires_s = 0;   // seconds since 1970 UTC
    std::string nonce;       // 32 hex digits, random at sign-in
};

// A new session for user_id with a random nonce, valid until expires_s.
WebSessionToken web_session_new(int64_t user_id, int64_t expires_s);

// The cookie value of token for a user whose password hash is password_hash.
std::string web_session_encode(const WebSessionToken& token, const std::string& password_hash);

// Splits a cookie value into *token without checking its mac (the caller
// loads the user named by token->user_id, then calls web_session_check).
// Returns false when the value is not of the session's form.
bool web_session_parse(const std::string& value, WebSessionToken* token);

// True when value is token's cookie under password_hash (constant-time
// comparison) and token has not expired at now_s.
bool web_session_check(const std::string& value, const WebSessionToken& token,
                       const std::string& password_hash, int64_t now_s);

// The anti-forgery token of the session (64 hex digits).
std::string web_session_csrf(const WebSessionToken& token, const std::string& password_hash);

