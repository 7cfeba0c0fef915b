// Per-address rate limit of failures (failed logons, unknown uids): each
// address may fail a set number of times per minute; beyond that its
// requests to the plug-in's scripts are refused until the minute has passed.
#pragma once

#include <cstdint>
#include <string>

struct RateLimiter;

// Returns a new limiter allowing per_minute failures per address a minute
// (limit_free() frees it).
RateLimiter* limit_new(int per_minute);
void limit_free(RateLimiter* limiter);

// True when address may still try at now_ms.
bool limit_allowed(RateLimiter* limiter, const std::string& address, int64_t now_ms);

// Counts one failure of address at now_ms.
void limit_failure(RateLimiter* limiter, const std::string& address, int64_t now_ms);
