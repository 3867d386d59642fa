// Allocation-failure injection for the sanitizer build (CMake option
// PAGRIX_ALLOC_FAILURE). engine_tests is then linked with the linker's
// --wrap for malloc, calloc, realloc and the operator new family, so every
// allocation the engine makes by itself, and FreeType's and zlib's through
// the engine's allocator callbacks, passes through one counter. Armed with
// N, the N-th allocation from then on fails once (null, or std::bad_alloc
// from a throwing new); every other allocation is passed through. In other
// builds nothing is wrapped and alloc_failure_available() is false.
//
// FreeType 2.12 does not survive failures of its own allocations (its Type 1
// driver reads a glyph slot's internal record that failed to allocate, its
// CFF glyph builder writes through a point array whose growth failed), so an
// allocation made inside FreeType is let through unless PAGRIX_ALLOC_FREETYPE
// is set. PAGRIX_ALLOC_TRACE prints the stack of each failed allocation.
#pragma once

namespace testsupport {

bool alloc_failure_available();
// Counts allocations from now on and fails the n-th (n <= 0: none fails).
void alloc_failure_arm(long n);
// Stops counting and failing; returns the allocations counted since arming.
long alloc_failure_disarm();
// True once the n-th allocation was made: failed, or let through as FreeType's.
bool alloc_failure_reached();
// True when the n-th allocation was FreeType's and let through.
bool alloc_failure_spared();

}  // namespace testsupport
