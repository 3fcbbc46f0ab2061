#include "MallocCounter.h"

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <malloc.h>

// glibc's own entry points, which the replacements below forward to.
extern "C" {
void *__libc_malloc(size_t size);
void __libc_free(void *p);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *p, size_t size);
void *__libc_memalign(size_t alignment, size_t size);
}

namespace {

std::atomic<long long> g_live{0};

void *counted(void *p)
{
    if (p)
        g_live.fetch_add(static_cast<long long>(malloc_usable_size(p)), std::memory_order_relaxed);
    return p;
}

void uncount(void *p)
{
    if (p)
        g_live.fetch_sub(static_cast<long long>(malloc_usable_size(p)), std::memory_order_relaxed);
}

} // namespace

long long liveHeapBytes()
{
    return g_live.load(std::memory_order_relaxed);
}

extern "C" {

void *malloc(size_t size) noexcept
{
    return counted(__libc_malloc(size));
}

void free(void *p) noexcept
{
    uncount(p);
    __libc_free(p);
}

void *calloc(size_t count, size_t size) noexcept
{
    return counted(__libc_calloc(count, size));
}

void *realloc(void *p, size_t size) noexcept
{
    const long long before = p ? static_cast<long long>(malloc_usable_size(p)) : 0;
    void *q = __libc_realloc(p, size);
    if (q || size == 0)
        g_live.fetch_sub(before, std::memory_order_relaxed);
    return counted(q);
}

void *memalign(size_t alignment, size_t size) noexcept
{
    return counted(__libc_memalign(alignment, size));
}

void *aligned_alloc(size_t alignment, size_t size) noexcept
{
    return counted(__libc_memalign(alignment, size));
}

int posix_memalign(void **out, size_t alignment, size_t size) noexcept
{
    if (alignment < sizeof(void *) || (alignment & (alignment - 1)) != 0)
        return EINVAL;
    void *p = __libc_memalign(alignment, size);
    if (!p)
        return ENOMEM;
    *out = counted(p);
    return 0;
}

} // extern "C"
