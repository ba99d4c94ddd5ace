#pragma once
// Array allocations of the program that includes this go through these replacements, so a test
// can make the next non-throwing array allocations fail the way an exhausted heap would.
// Replaces the global operators: include it from exactly one source of a test executable.
#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<int> g_nothrowArraysLeft{-1}; // -1: never fail

class FailArrayAllocationsAfter {
public:
    explicit FailArrayAllocationsAfter(int successes) { g_nothrowArraysLeft = successes; }
    ~FailArrayAllocationsAfter() { g_nothrowArraysLeft = -1; }
};
} // namespace

void* operator new[](std::size_t n)
{
    void* p = std::malloc(n ? n : 1);
    if (!p)
        throw std::bad_alloc();
    return p;
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept
{
    int left = g_nothrowArraysLeft.load();
    if (left == 0)
        return nullptr;
    if (left > 0)
        g_nothrowArraysLeft = left - 1;
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
