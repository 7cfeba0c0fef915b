// Checks that a profile written by one build loads in the other (see
// scripts/test):
//   profile_interop write PATH   saves the fixed ledger below to PATH
//   profile_interop check PATH   loads PATH; exits 0 only when it gives that
//                                ledger exactly, else says what differs
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "ledger/ledger.h"
#include "ledger/profile.h"

namespace {

struct Entry {
    const char* name;
    int32_t seconds;
};

// The tasks in ledger order. "Réunion équipe" is spelled with escapes so that
// its bytes are Windows-1252 whatever the compiler's execution character set.
const Entry EXPECTED[] = {
    {"Admin", 0},
    {"Client A", 3725},
    {"Mail", 59},
    {"R\xE9union \xE9quipe", 2147483647},
};
const size_t EXPECTED_COUNT = sizeof EXPECTED / sizeof EXPECTED[0];

// Added with the others and removed before saving, to leave an empty slot
// among the tasks.
const char REMOVED[] = "Lunch break";

// The name with bytes outside printable ASCII as \xNN.
std::string shown(const char* name)
{
    std::string out = "'";
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(name); *c; ++c) {
        if (*c >= 0x20 && *c < 0x7F) {
            out += static_cast<char>(*c);
        } else {
            char hex[8];
            snprintf(hex, sizeof hex, "\\x%02X", *c);
            out += hex;
        }
    }
    return out + "'";
}

// Compares the tasks of the ledger, in slot order and empty slots left out,
// with EXPECTED. Prints each difference; returns true when there is none.
bool ledger_is_expected()
{
    bool same = true;
    size_t at = 0;
    for (int32_t i = 0; i < ledger_slot_count(); ++i) {
        const Plorvin* task = ledger_task_at(i);
        if (!task)
            continue;
        if (at >= EXPECTED_COUNT) {
            fprintf(stderr, "slot %d: unexpected task %s %d s\n", static_cast<int>(i),
                    shown(task_name(task)).c_str(), static_cast<int>(task_elapsed(task)));
            same = false;
        } else if (strcmp(task_name(task), EXPECTED[at].name) != 0 ||
                   task_elapsed(task) != EXPECTED[at].seconds) {
            fprintf(stderr, "slot %d: %s %d s, expected %s %d s\n", static_cast<int>(i),
                    shown(task_name(task)).c_str(), static_cast<int>(task_elapsed(task)),
                    shown(EXPECTED[at].name).c_str(), static_cast<int>(EXPECTED[at].seconds));
            same = false;
        }
        ++at;
    }
    for (; at < EXPECTED_COUNT; ++at) {
        fprintf(stderr, "missing task %s %d s\n", shown(EXPECTED[at].name).c_str(),
                static_cast<int>(EXPECTED[at].seconds));
        same = false;
    }
    return same;
}

int write_profile(const char* path)
{
    for (const Entry& entry : EXPECTED)
        ledger_add_task(entry.name, entry.seconds);
    ledger_add_task(REMOVED, 1);
    if (ledger_remove_task_named(REMOVED) != 0 || ledger_slot_count() == ledger_task_count()) {
        fprintf(stderr, "could not leave an empty slot\n");
        return 1;
    }
    if (!ledger_is_expected())
        return 1;
    if (!profile_save(path)) {
        fprintf(stderr, "cannot save %s\n", path);
        return 1;
    }
    return 0;
}

int check_profile(const char* path)
{
    if (!profile_load(path)) {
        fprintf(stderr, "cannot load %s\n", path);
        return 1;
    }
    return ledger_is_expected() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && strcmp(argv[1], "write") == 0)
        return write_profile(argv[2]);
    if (argc == 3 && strcmp(argv[1], "check") == 0)
        return check_profile(argv[2]);
    fprintf(stderr, "usage: profile_interop write|check PATH\n");
    return 2;
}
