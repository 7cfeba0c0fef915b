#include "service/auth.h"

#include <sodium.h>

#include <semaphore>

bool auth_init()
{
    return sodium_init() >= 0;
}

// Argon2 at the interactive cost takes 64 MiB while it runs: four at once
// are plenty, and keep a burst of logons from exhausting memory.
static std::counting_semaphore<4> hashing(4);

struct HashSlot {
    HashSlot() { hashing.acquire(); }
    ~HashSlot() { hashing.release(); }
};

bool auth_hash_password(const std::string& password, const std::string& cost, std::string* hash)
{
    bool minimal = cost == "minimal";
    char out[crypto_pwhash_STRBYTES];
    HashSlot slot;
    if (crypto_pwhash_str(out, password.data(), password.size(),
                          minimal ? crypto_pwhash_OPSLIMIT_MIN : crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          minimal ? crypto_pwhash_MEMLIMIT_MIN : crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        return false;
    *hash = out;
    return true;
}

bool auth_check_password(const std::string& hash, const std::string& password)
{
    if (hash.empty() || hash.size() >= crypto_pwhash_STRBYTES)
        return false;
    HashSlot slot;
    return crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0;
}

int32_t auth_random_uid()
{
    return static_cast<int32_t>(randombytes_uniform(0x7FFFFFFF)) + 1;
}

std::string auth_random_password()
{
    static const char alphabet[] = "abcdefghijkmnpqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ23456789";
    std::string password;
    for (int i = 0; i < 16; i++)
        password += alphabet[randombytes_uniform(sizeof alphabet - 1)];
    return password;
}

bool auth_same(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && sodium_memcmp(a.data(), b.data(), a.size()) == 0;
}
