// The ledger against the plain algorithm it must agree with (a full bubble
// sort after every addition): random operations on both, the whole table
// compared after each one.
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "ledger/ledger.h"
#include "tests/support/literal_ledger.h"
#include "tests/support/manual_clock.h"

namespace {

// Describes both tables side by side where they differ, or returns "".
std::string difference(const LiteralLedger& model)
{
    if (ledger_slot_count() != static_cast<int32_t>(model.slots.size()))
        return "slot count " + std::to_string(ledger_slot_count()) + " vs " +
               std::to_string(model.slots.size());
    if (ledger_task_count() != model.task_count)
        return "task count";
    if (ledger_current_index() != model.current)
        return "current " + std::to_string(ledger_current_index()) + " vs " +
               std::to_string(model.current);
    for (size_t i = 0; i < model.slots.size(); ++i) {
        const Plorvin* task = ledger_task_at(static_cast<int32_t>(i));
        const LiteralSlot& slot = model.slots[i];
        if (!task != !slot.used)
            return "slot " + std::to_string(i) + " emptiness";
        if (task && (slot.name != task_name(task) || slot.seconds != task->seconds ||
                     slot.running != task_is_running(task)))
            return "slot " + std::to_string(i) + ": " + task_name(task) + " vs " + slot.name;
    }
    return "";
}

// Names from a small alphabet, so that equal and case-equal names are common.
std::string random_name(std::mt19937& random)
{
    static const char letters[] = "aAbB_\xe9";
    std::string name;
    int length = std::uniform_int_distribution<int>(0, 3)(random);
    for (int i = 0; i < length; ++i)
        name += letters[std::uniform_int_distribution<int>(0, sizeof letters - 2)(random)];
    return name;
}

}  // namespace

TEST(LedgerModel, AgreesWithTheBubbleSortAfterEveryOperation)
{
    ManualClock clock(1000000);
    for (unsigned seed = 1; seed <= 200; ++seed) {
        std::mt19937 random(seed);
        ledger_clear();
        LiteralLedger model;
        for (int step = 0; step < 150; ++step) {
            int32_t slots = ledger_slot_count();
            int32_t index = std::uniform_int_distribution<int32_t>(-1, slots)(random);
            int op = std::uniform_int_distribution<int>(0, 9)(random);
            std::string what;
            if (op <= 3) {
                std::string name = random_name(random);
                int32_t seconds = std::uniform_int_distribution<int32_t>(-5, 100)(random);
                int32_t got = ledger_add_task(name.c_str(), seconds);
                // The default name is the one the ledger chose; the model needs it
                // only when the name is empty.
                std::string chosen = got >= 0 ? task_name(ledger_task_at(got)) : "";
                int32_t expected = literal_add(model, name, chosen, seconds);
                ASSERT_EQ(got, expected) << "seed " << seed << " step " << step << " add " << name;
                what = "add " + name;
            } else if (op == 4) {
                int32_t got = ledger_remove_task(index);
                if (got == 0) {
                    model.slots[index].used = false;
                    --model.task_count;
                }
                what = "remove";
            } else if (op <= 6) {
                int32_t started = ledger_start_task(index);
                // Both 1 and 0 (the task already ran without being current)
                // come after the current task, if there is one, was stopped.
                bool current_task = model.current >= 0 &&
                                    model.current < static_cast<int32_t>(model.slots.size()) &&
                                    model.slots[model.current].used;
                if ((started == 0 || started == 1) && current_task) {
                    model.slots[model.current].running = false;
                    model.current = -1;
                }
                if (started == 1) {
                    model.slots[index].running = true;
                    model.current = index;
                }
                what = "start";
            } else if (op == 7) {
                if (ledger_stop_task(index) == 1) {
                    model.slots[index].running = false;
                    model.current = -1;
                }
                what = "stop";
            } else if (op == 8) {
                if (ledger_reset_task(index) == 1) {
                    model.slots[index].running = false;
                    model.slots[index].seconds = 0;
                }
                what = "reset";
            } else {
                ledger_forget_current();
                model.current = -1;
                what = "forget";
            }
            // Seconds are not compared after runs: the clock stands still, so
            // every run adds 0 and the stored seconds stay comparable.
            std::string diff = difference(model);
            ASSERT_EQ(diff, "") << "seed " << seed << " step " << step << " after " << what;
        }
    }
    ledger_clear();
}
