#include "progman_fake.h"

#include <stdio.h>
#include <stdlib.h>

#include "harness.h"

namespace zt {

FakeProgman::FakeProgman(const FakeProgmanOptions &options)
{
    char tag[64];
    snprintf(tag, sizeof tag, "fake_progman_%lu", (unsigned long)GetCurrentProcessId());
    dir_ = FreshDir(tag);
    std::string eventName = std::string("zt_") + tag + "_ready";
    HANDLE event = CreateEventA(NULL, TRUE, FALSE, eventName.c_str());

    std::string command = "\"" + ExeDir() + "\\fake_progman.exe\" -ready " + eventName +
                          " -record \"" + dir_ + "\\record.txt\"";
    if (options.answerGroups) {
        WriteFileText(dir_ + "\\reply.txt", options.reply);
        command += " -reply \"" + dir_ + "\\reply.txt\"";
    }
    if (options.refuseCommands)
        command += " -refuse";
    if (options.stall)
        command += " -stall";

    STARTUPINFOA si{};
    si.cb = sizeof si;
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    if (event && CreateProcessA(NULL, line.data(), NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi_)) {
        HANDLE both[2] = {event, pi_.hProcess};
        ready_ = WaitForMultipleObjects(2, both, FALSE, 20000) == WAIT_OBJECT_0;
    }
    if (event)
        CloseHandle(event);
}

FakeProgman::~FakeProgman() { Stop(); }

void FakeProgman::Stop()
{
    if (!pi_.hProcess)
        return;
    PostThreadMessageA(pi_.dwThreadId, WM_QUIT, 0, 0);
    if (WaitForSingleObject(pi_.hProcess, 10000) != WAIT_OBJECT_0)
        TerminateProcess(pi_.hProcess, 1);
    CloseHandle(pi_.hProcess);
    CloseHandle(pi_.hThread);
    pi_ = PROCESS_INFORMATION{};
}

std::vector<RecordedCommand> FakeProgman::Recorded() const
{
    std::vector<RecordedCommand> recorded;
    for (const std::string &line : ReadLines(dir_ + "\\record.txt")) {
        size_t space = line.find(' ');
        RecordedCommand r;
        r.bytes = strtoul(line.substr(0, space).c_str(), NULL, 10);
        r.text = space == std::string::npos ? "" : line.substr(space + 1);
        recorded.push_back(r);
    }
    return recorded;
}

std::vector<std::string> FakeProgman::Commands() const
{
    std::vector<std::string> texts;
    for (const RecordedCommand &r : Recorded())
        texts.push_back(r.text);
    return texts;
}

void FakeProgman::ClearRecord() const { DeleteFileA((dir_ + "\\record.txt").c_str()); }

}  // namespace zt
