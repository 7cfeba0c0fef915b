#include "service/web_session.h"

#include <sodium.h>

#include "service/auth.h"

#include <cstdio>

static std::string to_hex(const unsigned char* bytes, size_t count)
{
    std::string hex(count * 2, '\0');
    sodium_bin2hex(hex.data(), hex.size() + 1, bytes, count);
    return hex;
}

// The session key of a user: a hash of their stored password hash, so that
// the key changes with the password and never leaves the service.
static void user_key(const std::string& password_hash, const char* purpose,
                     unsigned char key[crypto_generichash_KEYBYTES])
{
    std::string material = std::string("zentrik-web-") + purpose + '\0' + password_hash;
    crypto_generichash(key, crypto_generichash_KEYBYTES,
                       reinterpret_cast<const unsigned char*>(material.data()), material.size(),
                       nullptr, 0);
}

static std::string keyed_hash(const std::string& text, const std::string& password_hash,
                              const char* purpose)
{
    unsigned char key[crypto_generichash_KEYBYTES];
    user_key(password_hash, purpose, key);
    unsigned char mac[32];
    crypto_generichash(mac, sizeof mac, reinterpret_cast<const unsigned char*>(text.data()),
                       text.size(), key, sizeof key);
    sodium_memzero(key, sizeof key);
    return to_hex(mac, sizeof mac);
}

static std::string signed_part(const WebSessionToken& token)
{
    char head[64];
    snprintf(head, sizeof head, "%lld.%lld.", (long long)token.user_id,
             (long long)token.expires_s);
    return head + token.nonce;
}

WebSessionToken web_session_new(int64_t user_id, int64_t expires_s)
{
    unsigned char nonce[16];
    randombytes_buf(nonce, sizeof nonce);
    WebSessionToken token;
    token.user_id = user_id;
    token.expires_s = expires_s;
    token.nonce = to_hex(nonce, sizeof nonce);
    return token;
}

std::string web_session_encode(const WebSessionToken& token, const std::string& password_hash)
{
    std::string head = signed_part(token);
    return head + "." + keyed_hash(head, password_hash, "session");
}

// A decimal number of 1 to 18 digits (no sign: ids and instants are
// positive).
static bool parse_number(const std::string& text, int64_t* out)
{
    if (text.empty() || text.size() > 18)
        return false;
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    *out = value;
    return true;
}

static bool is_hex(const std::string& text, size_t length)
{
    if (text.size() != length)
        return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}

bool web_session_parse(const std::string& value, WebSessionToken* token)
{
    size_t a = value.find('.');
    size_t b = a == std::string::npos ? a : value.find('.', a + 1);
    size_t c = b == std::string::npos ? b : value.find('.', b + 1);
    if (c == std::string::npos)
        return false;
    WebSessionToken parsed;
    parsed.nonce = value.substr(b + 1, c - b - 1);
    if (!parse_number(value.substr(0, a), &parsed.user_id) ||
        !parse_number(value.substr(a + 1, b - a - 1), &parsed.expires_s) ||
        !is_hex(parsed.nonce, 32) || !is_hex(value.substr(c + 1), 64))
        return false;
    *token = parsed;
    return true;
}

bool web_session_check(const std::string& value, const WebSessionToken& token,
                       const std::string& password_hash, int64_t now_s)
{
    return token.expires_s > now_s && auth_same(value, web_session_encode(token, password_hash));
}

std::string web_session_csrf(const WebSessionToken& token, const std::string& password_hash)
{
    return keyed_hash(token.nonce, password_hash, "csrf");
}
