// Stand-in process sources: each reports its status and its list of
// (pid, raw name) pairs, honouring the limit it is given, and records how it
// was called.
#pragma once

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "processes/process_list.h"

struct FakeSource {
    ProcessSourceStatus status = PROCESS_SOURCE_OK;
    std::vector<std::pair<uint32_t, std::string>> processes;
    int calls = 0;
    size_t limit = 0;
};

inline FakeSource g_fake_psapi;
inline FakeSource g_fake_toolhelp;

inline ProcessSourceStatus fake_feed(FakeSource& source, std::vector<ProcItemStruct>& found,
                                     size_t limit)
{
    ++source.calls;
    source.limit = limit;
    for (size_t i = 0; i < source.processes.size() && i < limit; ++i) {
        ProcItemStruct record = {};
        strncpy(record.name, source.processes[i].second.c_str(), sizeof record.name - 1);
        record.pid = source.processes[i].first;
        found.push_back(record);
    }
    return source.status;
}

inline ProcessSourceStatus fake_psapi(std::vector<ProcItemStruct>& found, size_t limit)
{
    return fake_feed(g_fake_psapi, found, limit);
}

inline ProcessSourceStatus fake_toolhelp(std::vector<ProcItemStruct>& found, size_t limit)
{
    return fake_feed(g_fake_toolhelp, found, limit);
}

inline const ProcessSources fake_sources = {fake_psapi, fake_toolhelp};

// Starts every test from an empty list and two sources that report nothing.
inline void fake_sources_reset()
{
    process_list_clear();
    g_fake_psapi = FakeSource();
    g_fake_toolhelp = FakeSource();
}

// Names p00, p01, ... with pids 100, 101, ..., reported in reverse order.
inline std::vector<std::pair<uint32_t, std::string>> numbered_processes(int count)
{
    std::vector<std::pair<uint32_t, std::string>> processes;
    for (int i = count - 1; i >= 0; --i) {
        char name[16];
        snprintf(name, sizeof name, "p%02d", i);
        processes.push_back({100u + static_cast<uint32_t>(i), name});
    }
    return processes;
}
