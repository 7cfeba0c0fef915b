// Password hashes (libsodium's crypto_pwhash_str, Argon2id) and the random
// values of the service. auth_init() must have succeeded first.
#pragma once

#include <cstdint>
#include <string>

// Initialises libsodium. Returns false when it cannot.
bool auth_init();

// The hash of password in crypto_pwhash_str form; cost "minimal" makes it
// fast and weak (tests only), anything else the interactive cost. Returns
// false when memory runs out.
bool auth_hash_password(const std::string& password, const std::string& cost, std::string* hash);

// True when password matches hash.
bool auth_check_password(const std::string& hash, const std::string& password);

// A random session uid in [1, 2^31 - 1].
int32_t auth_random_uid();

// A random password of 16 letters and digits.
std::string auth_random_password();

// True when a and b are equal, in time that does not depend on where they
// differ.
bool auth_same(const std::string& a, const std::string& b);
