// The hot key and the message loop as a test drives them: presses waiting to be taken, and
// passes of the loop whose dispatch runs what the test scripted for it. Ending the program
// throws ProgramEnded, so a test sees the end instead of losing its process.
#pragma once

#include "core/seam/HotKey.h"
#include "core/seam/MessageLoop.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace TestSupport {

struct ProgramEnded {};
// Thrown by a loop that makes far more passes than any test scripts: one that never returns.
struct LoopRanAway {};

class FakeHotKey final : public Seam::HotKey {
  public:
    int Pending = 0;                             // presses not yet taken
    std::optional<KestrelMain::Failure> Refuse;  // what Register fails with, when set
    int Registrations = 0;
    std::vector<std::string>* Log = nullptr;  // "Register", shared with other stand-ins

    Seam::HotKeyAnswers* Answers = nullptr;  // where a later answer goes

    KestrelMain::Status Register(Seam::HotKeyAnswers& later) override {
        ++Registrations;
        Answers = &later;
        if (Log != nullptr)
            Log->push_back("Register");
        return Refuse;
    }

    bool PressPending() override { return Pending > 0; }

    bool TakePress() override {
        if (Pending == 0)
            return false;
        --Pending;
        return true;
    }

    void Unregister() override {
        if (Log != nullptr)
            Log->push_back("Unregister");
    }
};

// What a desktop answered after Register returned, in order ("granted Super+F", "refused
// ..."): nothing ever, from a backend that answers at once.
class RecordingHotKeyAnswers final : public Seam::HotKeyAnswers {
  public:
    std::vector<std::string> Answers;

    void HotKeyGranted(const std::string& trigger) override {
        Answers.push_back("granted " + trigger);
    }
    void HotKeyRefused(const KestrelMain::Failure& why) override {
        Answers.push_back("refused " + why.Text());
    }
};

class FakeMessageLoop final : public Seam::MessageLoop {
  public:
    static constexpr int MAX_PASSES = 1000;

    // What each dispatch runs, one entry per pass; passes beyond the script dispatch nothing.
    std::deque<std::function<void()>> Dispatches;
    int Waits = 0;
    int DoEventsCalls = 0;
    bool Ended = false;

    void WaitMessage() override {
        if (++Waits > MAX_PASSES)
            throw LoopRanAway{};
    }

    void DoEvents() override {
        ++DoEventsCalls;
        if (Dispatches.empty())
            return;
        auto dispatch = std::move(Dispatches.front());
        Dispatches.pop_front();
        dispatch();
    }

    [[noreturn]] void EndProgramNow() override {
        Ended = true;
        throw ProgramEnded{};
    }
};

}  // namespace TestSupport
