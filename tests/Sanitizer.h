// Whether the tests run under AddressSanitizer: its shadow memory fills the address space and its
// allocator neither returns null nor keeps the peak memory of the code under test, so address-space caps
// and memory measures say nothing there.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kUnderAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kUnderAddressSanitizer = true;
#else
inline constexpr bool kUnderAddressSanitizer = false;
#endif
#else
inline constexpr bool kUnderAddressSanitizer = false;
#endif
