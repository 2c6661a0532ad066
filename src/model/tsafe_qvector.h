// SPDX-License-Identifier: GPL-3.0-or-later
// A QVector shared between the worker, which appends, and the GUI thread, which reads while
// the worker goes on: every call holds the vector's own lock for its own duration only.
#pragma once

#include <QReadWriteLock>
#include <QVector>

#include <utility>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

namespace tsafe_detail {

// Qt's lock works inside QtCore, which the thread sanitizer does not see unless Qt itself was
// built with it; these notes tell the sanitizer what the lock does, so that it checks how we
// use the vector instead of reporting every locked access.
#if defined(__SANITIZE_THREAD__)
inline unsigned tsan_flags(bool read)
{
    return read ? __tsan_mutex_read_lock : 0;
}
inline void created(void* lock)
{
    __tsan_mutex_create(lock, 0);
}
inline void destroyed(void* lock)
{
    __tsan_mutex_destroy(lock, 0);
}
inline void before_lock(void* lock, bool read)
{
    __tsan_mutex_pre_lock(lock, tsan_flags(read));
}
inline void after_lock(void* lock, bool read)
{
    __tsan_mutex_post_lock(lock, tsan_flags(read), 0);
}
inline void before_unlock(void* lock, bool read)
{
    __tsan_mutex_pre_unlock(lock, tsan_flags(read));
}
inline void after_unlock(void* lock, bool read)
{
    __tsan_mutex_post_unlock(lock, tsan_flags(read));
}
#else
inline void created(void*) {}
inline void destroyed(void*) {}
inline void before_lock(void*, bool) {}
inline void after_lock(void*, bool) {}
inline void before_unlock(void*, bool) {}
inline void after_unlock(void*, bool) {}
#endif

/// Holds a QReadWriteLock for reading (read = true) or writing for its lifetime.
template <bool read>
class guard
{
public:
    explicit guard(QReadWriteLock& lock_)
        : lock(lock_)
    {
        before_lock(&lock, read);
        if (read)
            lock.lockForRead();
        else
            lock.lockForWrite();
        after_lock(&lock, read);
    }
    ~guard()
    {
        before_unlock(&lock, read);
        lock.unlock();
        after_unlock(&lock, read);
    }
    guard(const guard&) = delete;
    guard& operator=(const guard&) = delete;

private:
    QReadWriteLock& lock;
};

} // namespace tsafe_detail

template <typename T>
class tsafe_qvector
{
public:
    tsafe_qvector() { tsafe_detail::created(&lock); }
    ~tsafe_qvector() { tsafe_detail::destroyed(&lock); }
    tsafe_qvector(const tsafe_qvector&) = delete;
    tsafe_qvector& operator=(const tsafe_qvector&) = delete;

    int size() const
    {
        read_guard locker(lock);
        return data.size();
    }

    /// The element at i, or T() when i is out of range: a reader that took the size before
    /// another thread cleared the vector gets a default value instead of reading past the end.
    T at(int i) const
    {
        read_guard locker(lock);
        return i >= 0 && i < data.size() ? data.at(i) : T();
    }
    T operator[](int i) const { return at(i); }

    /// The last element, or T() when empty.
    T last() const
    {
        read_guard locker(lock);
        return data.isEmpty() ? T() : data.last();
    }

    void append(const T& value)
    {
        write_guard locker(lock);
        data.append(value);
    }

    void append(const QVector<T>& values)
    {
        write_guard locker(lock);
        data.append(values);
    }

    /// Replaces element i; out of range changes nothing and returns false.
    bool replace(int i, const T& value)
    {
        write_guard locker(lock);
        if (i < 0 || i >= data.size())
            return false;
        data[i] = value;
        return true;
    }

    /// Empties the vector and gives its memory back.
    void clear()
    {
        QVector<T> released;
        {
            write_guard locker(lock);
            data.swap(released);
        }
    }

    void reserve(int n)
    {
        write_guard locker(lock);
        data.reserve(n);
    }

    /// A consistent copy of [from, to), clamped to the elements that exist. The copy is a deep
    /// one: a shared copy would make the writer's next append copy the whole vector.
    QVector<T> copy(int from, int to) const
    {
        read_guard locker(lock);
        from = qMax(from, 0);
        to = qMin(to, data.size());
        if (from >= to)
            return QVector<T>();
        return QVector<T>(data.constBegin() + from, data.constBegin() + to);
    }

    /// Calls f(const QVector<T>&) under the read lock, for readers that need several elements
    /// at one consistent state (a binary search, a range). The lock is not recursive: f must
    /// not call this vector again.
    template <typename F>
    decltype(auto) read_locked(F&& f) const
    {
        read_guard locker(lock);
        return std::forward<F>(f)(static_cast<const QVector<T>&>(data));
    }

private:
    using read_guard = tsafe_detail::guard<true>;
    using write_guard = tsafe_detail::guard<false>;

    mutable QReadWriteLock lock{QReadWriteLock::NonRecursive};
    QVector<T> data;
};
