#pragma once

// Replaces the array allocation operators of the test program that includes it, so a test can
// make the next non-throwing array allocations fail the way an exhausted heap would. Include
// it from exactly one source file of a test program: the definitions are the program's own.

#include <atomic>
#include <cstdlib>
#include <new>

namespace tolvanrise::test {

inline std::atomic<int> g_nothrowArraysLeft{-1}; // -1: never fail

// While alive, `successes` non-throwing array allocations succeed and the rest fail.
class FailArrayAllocationsAfter {
public:
    explicit FailArrayAllocationsAfter(int successes) { g_nothrowArraysLeft = successes; }
    ~FailArrayAllocationsAfter() { g_nothrowArraysLeft = -1; }
    FailArrayAllocationsAfter(const FailArrayAllocationsAfter&) = delete;
    FailArrayAllocationsAfter& operator=(const FailArrayAllocationsAfter&) = delete;
};

} // namespace tolvanrise::test

void* operator new[](std::size_t n)
{
    void* p = std::malloc(n ? n : 1);
    if (!p)
        throw std::bad_alloc();
    return p;
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept
{
    int left = tolvanrise::test::g_nothrowArraysLeft.load();
    if (left == 0)
        return nullptr;
    if (left > 0)
        tolvanrise::test::g_nothrowArraysLeft = left - 1;
    return std::malloc(n ? n : 1);
}
void operator delete[](void* p) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}
