#pragma once

// SCRIVLET_SANITIZED is defined when the tests are built with the address or
// thread sanitizer. Their allocators end the process on a request too large
// to hold instead of throwing std::bad_alloc, so tests that rely on the throw
// are not tried there.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define SCRIVLET_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define SCRIVLET_SANITIZED 1
#endif
#endif

// SCRIVLET_THREAD_SANITIZED: built with the thread sanitizer, which makes
// every memory access many times slower; tests leave out work that is only
// large, not threaded.
#if defined(__SANITIZE_THREAD__)
#define SCRIVLET_THREAD_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define SCRIVLET_THREAD_SANITIZED 1
#endif
#endif
