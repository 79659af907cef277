// A stand-in for the host program and for the programs the updater starts, for the updater tests.
//   fakehost wait <event name>     runs until the test sets the named event (at most two minutes,
//                                  so that a failed test leaves nothing behind)
//   fakehost record <file> [...]   writes its own command line to <file> and ends
// The tests copy it into their folders, so that its path holds the text the updater waits for.
#include <windows.h>

#include <cstring>

#include "base/Unique.h"

namespace {

constexpr DWORD kLongestWaitMs = 120000;

int Wait(const char* eventName) {
    kit::UniqueHandle event(::OpenEventA(SYNCHRONIZE, FALSE, eventName));
    if (!event) return 3;
    return ::WaitForSingleObject(event.get(), kLongestWaitMs) == WAIT_OBJECT_0 ? 0 : 4;
}

int Record(const char* path) {
    kit::UniqueFile file(
        ::CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return 3;
    const char* commandLine = ::GetCommandLineA();
    DWORD written = 0;
    const DWORD length = static_cast<DWORD>(std::strlen(commandLine));
    return ::WriteFile(file.get(), commandLine, length, &written, nullptr) && written == length ? 0 : 4;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "wait") == 0) return Wait(argv[2]);
    if (argc >= 3 && std::strcmp(argv[1], "record") == 0) return Record(argv[2]);
    return 2;
}
