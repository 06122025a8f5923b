// TOV_SANITIZER_ALLOCATOR is defined when a sanitizer runtime (AddressSanitizer or
// ThreadSanitizer) owns malloc and operator new.
#pragma once

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TOV_SANITIZER_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TOV_SANITIZER_ALLOCATOR 1
#endif
#endif
