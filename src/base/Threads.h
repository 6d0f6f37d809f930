// Whether the standard library has threads. mingw-w64's win32 thread model,
// which the Windows build uses to run on XP, has no std::thread and no
// std::mutex.
#pragma once

#include <cstddef>  // defines the library's configuration macros

#if defined(__GLIBCXX__) && !defined(_GLIBCXX_HAS_GTHREADS)
#define QUARNEL_HAS_THREADS 0
#else
#define QUARNEL_HAS_THREADS 1
#endif
