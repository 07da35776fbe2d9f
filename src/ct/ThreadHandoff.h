#pragma once

// A record passed through a queued signal crosses threads inside Qt's event queue, whose
// locks ThreadSanitizer does not see when Qt itself is not instrumented. The sender
// publishes at an address both sides know (the record, or the worker it goes to or comes
// from) before emitting, and the receiver takes that address before the first access,
// which tells the sanitizer the order the queue guarantees. Without the sanitizer both
// are empty.
#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void *addr);
extern "C" void __tsan_release(void *addr);
#endif

namespace ThreadHandoff {

inline void publish([[maybe_unused]] void *record)
{
#if defined(__SANITIZE_THREAD__)
    __tsan_release(record);
#endif
}

inline void take([[maybe_unused]] void *record)
{
#if defined(__SANITIZE_THREAD__)
    __tsan_acquire(record);
#endif
}

} // namespace ThreadHandoff
