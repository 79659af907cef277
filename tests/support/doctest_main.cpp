// The entry point of every test program. Under Wine, the automatic debugger may end a program
// that faulted on a thread other than the main one with exit code 0, so any unhandled fault ends
// the process with code 3 here: a crash always fails the test.
#define DOCTEST_CONFIG_IMPLEMENT
#include <doctest/doctest.h>

#ifdef _WIN32
#include <windows.h>

#include <cstdio>

namespace {

LONG WINAPI FailOnCrash(EXCEPTION_POINTERS* info) {
    std::fprintf(stderr, "crash: exception 0x%08lx at %p\n", info->ExceptionRecord->ExceptionCode,
                 info->ExceptionRecord->ExceptionAddress);
    std::fflush(stderr);
    ::TerminateProcess(::GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
    ::SetUnhandledExceptionFilter(&FailOnCrash);
#endif
    return doctest::Context(argc, argv).run();
}
