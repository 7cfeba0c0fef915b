#include "service/limit.h"

#include <mutex>
#include <unordered_map>

struct Window {
    int64_t start_ms;
    int failures;
};

struct RateLimiter {
    int per_minute;
    std::mutex lock;
    std::unordered_map<std::string, Window> windows;
};

static const int64_t window_ms = 60 * 1000;

RateLimiter* limit_new(int per_minute)
{
    RateLimiter* limiter = new RateLimiter;
    limiter->per_minute = per_minute;
    return limiter;
}

void limit_free(RateLimiter* limiter)
{
    delete limiter;
}

bool limit_allowed(RateLimiter* limiter, const std::string& address, int64_t now_ms)
{
    std::lock_guard<std::mutex> guard(limiter->lock);
    auto found = limiter->windows.find(address);
    if (found == limiter->windows.end())
        return true;
    if (now_ms - found->second.start_ms >= window_ms) {
        limiter->windows.erase(found);
        return true;
    }
    return found->second.failures < limiter->per_minute;
}

void limit_failure(RateLimiter* limiter, const std::string& address, int64_t now_ms)
{
    std::lock_guard<std::mutex> guard(limiter->lock);
    // Forget old windows now and then, so that a stream of addresses cannot
    // grow the table without bound.
    if (limiter->windows.size() > 10000) {
        for (auto it = limiter->windows.begin(); it != limiter->windows.end();)
            it = now_ms - it->second.start_ms >= window_ms ? limiter->windows.erase(it) : ++it;
    }
    Window& window = limiter->windows[address];
    if (window.failures == 0 || now_ms - window.start_ms >= window_ms) {
        window.start_ms = now_ms;
        window.failures = 0;
    }
    window.failures++;
}
