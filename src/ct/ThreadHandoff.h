#pragma once

#include <utility>

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

// A value passed by value through a queued signal. Qt's queue copies it twice: into the
// event on the sending thread and into the slot's argument on the receiving one, both with
// the copy constructor compiled here, while the queue's own locks are out of the sanitizer's
// sight. Each copy takes the address of what it copies and publishes its own, so the order
// the queue guarantees is visible; without the sanitizer this is the plain value.
template <class T>
class Handed
{
public:
    Handed() { ThreadHandoff::publish(this); }
    Handed(T v) : value(std::move(v)) { ThreadHandoff::publish(this); }
    Handed(const Handed &other) : value(taken(other)) { ThreadHandoff::publish(this); }
    Handed &operator=(const Handed &other)
    {
        value = taken(other);
        ThreadHandoff::publish(this);
        return *this;
    }
    ~Handed() { ThreadHandoff::take(this); }
    const T &get() const { return taken(*this); }

private:
    static const T &taken(const Handed &handed)
    {
        ThreadHandoff::take(const_cast<Handed *>(&handed));
        return handed.value;
    }

    T value;
};
