// The ledger's addition done the plain way, as a yardstick: a linear scan for
// the name, a table that grows by one slot, and a full bubble sort of the
// table after every addition. Tests compare the real ledger against it; the
// benchmarks measure what it costs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ledger/ledger.h"

struct LiteralSlot {
    bool used = false;
    std::string name;
    int32_t seconds = 0;
    bool running = false;
    int64_t serial = 0;  // tells apart tasks of equal names
};

struct LiteralLedger {
    std::vector<LiteralSlot> slots;
    int32_t current = -1;
    int32_t task_count = 0;
    int64_t next_serial = 0;
};

// Adds `name` as the real ledger does; `default_name` stands for the name an
// empty one gets. Returns the index of the task.
inline int32_t literal_add(LiteralLedger& ledger, const std::string& name,
                           const std::string& default_name, int32_t seconds)
{
    auto& slots = ledger.slots;
    int32_t empty = -1;
    for (size_t i = 0; i < slots.size(); ++i) {
        if (!slots[i].used) {
            if (empty < 0)
                empty = static_cast<int32_t>(i);
        } else if (!name.empty() && slots[i].name == name) {
            return static_cast<int32_t>(i);
        }
    }
    if (empty < 0) {
        slots.emplace_back();
        empty = static_cast<int32_t>(slots.size() - 1);
    }
    LiteralSlot& slot = slots[empty];
    slot.used = true;
    slot.name = name.empty() ? default_name : name;
    slot.seconds = seconds > 0 ? seconds : 0;
    slot.running = false;
    slot.serial = ++ledger.next_serial;
    ++ledger.task_count;
    if (slots.size() < 2)
        return empty;

    const int64_t added = slot.serial;
    for (bool swapped = true; swapped;) {
        swapped = false;
        for (size_t i = 0; i + 1 < slots.size(); ++i) {
            bool swap = slots[i].used && (!slots[i + 1].used ||
                                          ledger_compare_names(slots[i].name.c_str(),
                                                               slots[i + 1].name.c_str()) > 0);
            if (swap) {
                std::swap(slots[i], slots[i + 1]);
                swapped = true;
            }
        }
    }
    if (ledger.current >= 0) {
        ledger.current = -1;
        for (size_t i = 0; i < slots.size(); ++i) {
            if (slots[i].used && slots[i].running) {
                ledger.current = static_cast<int32_t>(i);
                break;
            }
        }
    }
    for (size_t i = 0; i < slots.size(); ++i) {
        if (slots[i].used && slots[i].serial == added)
            return static_cast<int32_t>(i);
    }
    return -1;
}
