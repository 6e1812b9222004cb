// Starts and stops the Program Manager stand-in (fake_progman.exe) for a
// test, and reads what it recorded.
#ifndef ZELTRA_TESTS_PROGMAN_FAKE_H
#define ZELTRA_TESTS_PROGMAN_FAKE_H

#include <windows.h>

#include <string>
#include <vector>

namespace zt {

struct RecordedCommand {
    unsigned long bytes;   // as received, the terminating zero included when sent
    std::string text;
};

struct FakeProgmanOptions {
    std::string reply;           // the "Groups" answer, byte for byte
    bool answerGroups = true;    // false: the request is refused
    bool refuseCommands = false; // answer every command "not processed"
    bool stall = false;          // stop taking messages for a minute once ready
};

// One running stand-in; stopped when it goes out of scope. While it runs, it
// answers "PROGMAN" before Wine's own desktop does.
class FakeProgman {
public:
    explicit FakeProgman(const FakeProgmanOptions &options = FakeProgmanOptions());
    ~FakeProgman();
    FakeProgman(const FakeProgman &) = delete;
    FakeProgman &operator=(const FakeProgman &) = delete;

    bool Ready() const { return ready_; }
    std::vector<RecordedCommand> Recorded() const;
    std::vector<std::string> Commands() const;   // the texts only
    void ClearRecord() const;
    void Stop();

private:
    PROCESS_INFORMATION pi_{};
    std::string dir_;
    bool ready_ = false;
};

}  // namespace zt

#endif
