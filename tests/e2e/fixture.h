// The fixture of the end-to-end scenarios: a fresh folder for the program's
// current directory, and the program ended whatever happened.
#pragma once

#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "tests/e2e/driver.h"
#include "tests/support/tempdir.h"

// What the test writes over "Zentrik.cnf" to see whether the program saves.
#define E2E_UNSAVED "not saved since"

class E2e : public testing::Test {
protected:
    void SetUp() override
    {
        if (e2e_program().empty())
            e2e_program_from_command_line();
        ASSERT_FALSE(e2e_program().empty()) << "usage: e2e_tests <path of ZentrikWin.exe>";
        e2e_prepare_wine();
    }

    // A failed scenario leaves the program running, maybe behind a box.
    void TearDown() override
    {
        e2e_end(app);
        e2e_end(second);
    }

    std::string folder() const { return dir.path.string(); }
    std::string profile_path() const { return dir.file("Zentrik.cnf"); }
    std::string profile() const { return read_bytes(profile_path()); }
    void seed(const std::vector<E2eTask>& tasks) const { write_bytes(profile_path(), e2e_profile_bytes(tasks)); }
    void mark_unsaved() const { write_bytes(profile_path(), E2E_UNSAVED); }

    TempDir dir;
    E2eProcess app;
    E2eProcess second;
};

// Wall-clock bounds of a synchronous step, to bound what a running task
// counted: the program reads the same clock.
struct E2eSpan {
    time_t before;
    time_t after;
};
