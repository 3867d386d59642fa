// Running test code on a thread with a chosen stack size. The Windows build runs with
// the 1 MiB default stack of a Win32 program, so every recursion limit of the engine
// must hold there; tests of deep input run their body on such a stack on every build.
#pragma once
#include <cstddef>
#include <functional>

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#endif

namespace testsupport {

constexpr size_t WIN32_DEFAULT_STACK = size_t(1) << 20;

struct StackRun {
    const std::function<void()> *body;
    bool finished;
};

#ifdef _WIN32
inline DWORD WINAPI stack_run_thread(LPVOID p)
{
    auto *run = static_cast<StackRun *>(p);
    (*run->body)();
    run->finished = true;
    return 0;
}
#else
inline void *stack_run_thread(void *p)
{
    auto *run = static_cast<StackRun *>(p);
    (*run->body)();
    run->finished = true;
    return nullptr;
}
#endif

// Runs `body` on a new thread with a stack of `bytes` (on Windows the reserved size, as
// a program's main thread gets it) and waits for it. True when the body ran to its end:
// under Wine a stack overflow may end the thread alone, not the process.
inline bool run_on_stack(size_t bytes, const std::function<void()> &body)
{
    StackRun run{&body, false};
#ifdef _WIN32
    HANDLE thread = CreateThread(nullptr, bytes, stack_run_thread, &run, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (!thread)
        return false;
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
#else
    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0)
        return false;
    pthread_t thread;
    const bool started =
        pthread_attr_setstacksize(&attr, bytes) == 0 && pthread_create(&thread, &attr, stack_run_thread, &run) == 0;
    pthread_attr_destroy(&attr);
    if (started)
        pthread_join(thread, nullptr);
#endif
    return run.finished;
}

}  // namespace testsupport
