// A growing array of plain values, the audit's one container.
#ifndef PORTSLOT_AUDIT_GROWING_ARRAY_H
#define PORTSLOT_AUDIT_GROWING_ARRAY_H

#include <stddef.h>
#include <string.h>
#include <stdint.h>
#include <stdlib.h>

#include "large_pages.h"
#include "memory.h"

namespace portslot::audit {

template <class T> struct growing_array {
    T *items = nullptr;
    size_t size = 0, capacity = 0;

    growing_array() = default;
    growing_array(const growing_array &) = delete;
    growing_array &operator=(const growing_array &) = delete;
    ~growing_array() { free(items); }
    void push(const T &item)
    {
        if (size == capacity)
            grow();
        items[size++] = item;
    }

    // Room for `wanted` items at least, in one step: no copy on the way for
    // an array whose size is known.
    void reserve(size_t wanted)
    {
        if (capacity >= wanted)
            return;
        items = static_cast<T *>(reallocate(items, wanted * sizeof(T)));
        capacity = wanted;
        prefer_large_pages(items, capacity * sizeof(T));
    }

    // Doubles the room; large blocks are remapped rather than copied.
    // (The size cannot overflow: the C library grants no block of more than
    // half the address space.)
    void grow()
    {
        const size_t grown = capacity == 0 ? 4096 : capacity * 2;
        items = static_cast<T *>(reallocate(items, grown * sizeof(T)));
        capacity = grown;
        prefer_large_pages(items, capacity * sizeof(T));
    }
};

// Appends the `size` bytes at `text` to `to`, with room for one more.
inline void append(growing_array<char> &to, const char *text, size_t size)
{
    if (size == 0) // (an empty text may have no bytes at all)
        return;
    while (to.capacity < to.size + size + 1)
        to.grow();
    memcpy(to.items + to.size, text, size);
    to.size += size;
}

} // namespace portslot::audit

#endif
