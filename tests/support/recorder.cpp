#include "tests/support/recorder.h"

Recorder g_recorder;

void recorder_reset()
{
    g_recorder = Recorder{};
}

void RecorderFixture::SetUp()
{
    ledger_clear();
    recorder_reset();
}

void RecorderFixture::TearDown()
{
    ledger_clear();
    recorder_reset();
}

std::string quoted(const char* text)
{
    return text ? "'" + std::string(text) + "'" : "(none)";
}

static void run_hook(const std::string& key)
{
    auto hook = g_recorder.during.find(key);
    // A copy: the hook may change the scripts.
    if (hook != g_recorder.during.end() && hook->second)
        std::function<void()>(hook->second)();
}

// Logs the line, then runs what the test scripted for its first word and for
// its first two words ("dialog add").
void record(const std::string& line)
{
    g_recorder.events.push_back(line);
    size_t first = line.find(' ');
    run_hook(line.substr(0, first));
    if (first != std::string::npos)
        run_hook(line.substr(0, line.find(' ', first + 1)));
}

int next_answer(const char* question)
{
    if (g_recorder.answers.empty()) {
        ADD_FAILURE() << "no answer scripted for the question " << quoted(question);
        return 7;
    }
    int answer = g_recorder.answers.front();
    g_recorder.answers.pop_front();
    return answer;
}
