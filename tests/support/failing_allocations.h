#pragma once
// Allocations of the program that includes this go through these replacements, so a test can
// make the next non-throwing array allocations, or the next non-throwing single objects, fail
// the way an exhausted heap would. Replaces the global operators (new and delete alike, so that
// every pair matches): include it from exactly one source of a test executable. The operators
// are never inlined: inlined, GCC pairs malloc() and free() with the operators
// and warns of a mismatch.
#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<int> g_nothrowArraysLeft{-1}; // -1: never fail
std::atomic<int> g_nothrowObjectsLeft{-1};
// Set: only the one allocation at the count fails, the ones after it succeed again.
std::atomic<bool> g_failOnlyOne{false};

class FailArrayAllocationsAfter {
public:
    explicit FailArrayAllocationsAfter(int successes) { g_nothrowArraysLeft = successes; }
    ~FailArrayAllocationsAfter() { g_nothrowArraysLeft = -1; }
};

class FailObjectAllocationsAfter {
public:
    explicit FailObjectAllocationsAfter(int successes) { g_nothrowObjectsLeft = successes; }
    ~FailObjectAllocationsAfter() { g_nothrowObjectsLeft = -1; }
};

// Counts down one allocation; false when it is the one to fail.
inline bool TakeNothrowAllocation(std::atomic<int>& left)
{
    int now = left.load();
    if (now == 0) {
        if (g_failOnlyOne)
            left = -1;
        return false;
    }
    if (now > 0)
        left = now - 1;
    return true;
}
} // namespace

[[gnu::noinline]] void* operator new[](std::size_t n)
{
    void* p = std::malloc(n ? n : 1);
    if (!p)
        throw std::bad_alloc();
    return p;
}
[[gnu::noinline]] void* operator new[](std::size_t n, const std::nothrow_t&) noexcept
{
    return TakeNothrowAllocation(g_nothrowArraysLeft) ? std::malloc(n ? n : 1) : nullptr;
}
[[gnu::noinline]] void operator delete[](void* p) noexcept
{
    std::free(p);
}
[[gnu::noinline]] void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}
[[gnu::noinline]] void operator delete[](void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}

[[gnu::noinline]] void* operator new(std::size_t n)
{
    void* p = std::malloc(n ? n : 1);
    if (!p)
        throw std::bad_alloc();
    return p;
}
[[gnu::noinline]] void* operator new(std::size_t n, const std::nothrow_t&) noexcept
{
    return TakeNothrowAllocation(g_nothrowObjectsLeft) ? std::malloc(n ? n : 1) : nullptr;
}
[[gnu::noinline]] void operator delete(void* p) noexcept
{
    std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}
