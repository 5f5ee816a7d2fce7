#include "HeapBytesInUse.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// Part of the sanitizer runtimes' common interface.
extern "C" size_t __sanitizer_get_current_allocated_bytes();

size_t HeapBytesInUse() { return __sanitizer_get_current_allocated_bytes(); }
#else
#include <malloc.h>

size_t HeapBytesInUse() { return mallinfo2().uordblks; }
#endif
