// Bytes of heap memory the process has allocated and not freed: the
// sanitizer allocator's own count in sanitized builds (mallinfo knows
// nothing of that allocator), glibc's mallinfo2 otherwise.
#pragma once

#include <cstddef>

size_t HeapBytesInUse();
