// The counter behind tests/support/alloc_failure.h and, with
// PAGRIX_ALLOC_FAILURE, the --wrap entry points that consult it.
#include "alloc_failure.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

#ifdef PAGRIX_ALLOC_FAILURE
#include <dlfcn.h>
#include <execinfo.h>
#include <sanitizer/common_interface_defs.h>
#endif

namespace {

// The engine renders on one thread; so do the tests that arm the counter.
bool g_armed = false;
long g_count = 0;
long g_fail_at = 0;
bool g_reached = false;
bool g_spared = false;

#ifdef PAGRIX_ALLOC_FAILURE
// True when a frame of the current stack lies in FreeType's library.
bool inside_freetype()
{
    void *frames[128];
    const int n = backtrace(frames, 128);
    for (int i = 0; i < n; i++) {
        Dl_info info;
        if (dladdr(frames[i], &info) && info.dli_fname && std::strstr(info.dli_fname, "libfreetype"))
            return true;
    }
    return false;
}
#endif

[[maybe_unused]] bool fail_this_one()
{
    if (!g_armed || ++g_count != g_fail_at)
        return false;
    g_reached = true;
#ifdef PAGRIX_ALLOC_FAILURE
    static const bool fail_freetype = std::getenv("PAGRIX_ALLOC_FREETYPE") != nullptr;
    static const bool trace = std::getenv("PAGRIX_ALLOC_TRACE") != nullptr;
    g_armed = false;  // the stack walk may allocate
    g_spared = !fail_freetype && inside_freetype();
    g_armed = true;
    if (g_spared)
        return false;
    if (trace)
        __sanitizer_print_stack_trace();
#endif
    return true;
}

}  // namespace

namespace testsupport {

#ifdef PAGRIX_ALLOC_FAILURE
bool alloc_failure_available() { return true; }
#else
bool alloc_failure_available() { return false; }
#endif

void alloc_failure_arm(long n)
{
    g_count = 0;
    g_fail_at = n;
    g_reached = false;
    g_spared = false;
    g_armed = true;
}

long alloc_failure_disarm()
{
    g_armed = false;
    return g_count;
}

bool alloc_failure_reached() { return g_reached; }
bool alloc_failure_spared() { return g_spared; }

}  // namespace testsupport

#ifdef PAGRIX_ALLOC_FAILURE
extern "C" {
void *__real_malloc(size_t size);
void *__real_calloc(size_t count, size_t size);
void *__real_realloc(void *block, size_t size);
void *__real__Znwm(size_t size);
void *__real__Znam(size_t size);
void *__real__ZnwmRKSt9nothrow_t(size_t size, const std::nothrow_t &);
void *__real__ZnamRKSt9nothrow_t(size_t size, const std::nothrow_t &);

void *__wrap_malloc(size_t size) { return fail_this_one() ? nullptr : __real_malloc(size); }
void *__wrap_calloc(size_t count, size_t size) { return fail_this_one() ? nullptr : __real_calloc(count, size); }
// A failed realloc leaves the block as it was, as the real one does.
void *__wrap_realloc(void *block, size_t size) { return fail_this_one() ? nullptr : __real_realloc(block, size); }

void *__wrap__Znwm(size_t size)
{
    if (fail_this_one())
        throw std::bad_alloc();
    return __real__Znwm(size);
}
void *__wrap__Znam(size_t size)
{
    if (fail_this_one())
        throw std::bad_alloc();
    return __real__Znam(size);
}
void *__wrap__ZnwmRKSt9nothrow_t(size_t size, const std::nothrow_t &tag)
{
    return fail_this_one() ? nullptr : __real__ZnwmRKSt9nothrow_t(size, tag);
}
void *__wrap__ZnamRKSt9nothrow_t(size_t size, const std::nothrow_t &tag)
{
    return fail_this_one() ? nullptr : __real__ZnamRKSt9nothrow_t(size, tag);
}
}
#endif
