// Running test code on a thread with a chosen stack size. The Windows build runs with
// the 1 MiB default stack of a Win32 program, so every recursion limit of the engine
// must hold there; tests of deep input run their body on such a stack on every build.
#pragma once
#include <pthread.h>

#include <cstddef>
#include <functional>

namespace testsupport {

constexpr size_t WIN32_DEFAULT_STACK = size_t(1) << 20;

// Runs `body` on a new thread with a stack of `bytes` and waits for it. False when the
// thread could not be started (the body did not run).
inline bool run_on_stack(size_t bytes, const std::function<void()> &body)
{
    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0)
        return false;
    pthread_t thread;
    const bool started = pthread_attr_setstacksize(&attr, bytes) == 0 &&
                         pthread_create(&thread, &attr,
                                        [](void *arg) -> void * {
                                            (*static_cast<const std::function<void()> *>(arg))();
                                            return nullptr;
                                        },
                                        const_cast<std::function<void()> *>(&body)) == 0;
    pthread_attr_destroy(&attr);
    if (started)
        pthread_join(thread, nullptr);
    return started;
}

}  // namespace testsupport
