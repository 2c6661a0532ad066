// A QVector shared between the worker, which appends, and the GUI thread, which reads while
// the worker goes on: every call holds the vector's own lock for its own duration only.
#pragma once

#include <QReadLocker>
#include <QReadWriteLock>
#include <QVector>
#include <QWriteLocker>

#include <utility>

template <typename T>
class tsafe_qvector
{
public:
    tsafe_qvector() = default;
    tsafe_qvector(const tsafe_qvector&) = delete;
    tsafe_qvector& operator=(const tsafe_qvector&) = delete;

    int size() const
    {
        QReadLocker locker(&lock);
        return data.size();
    }

    /// The element at i, or T() when i is out of range: a reader that took the size before
    /// another thread cleared the vector gets a default value instead of reading past the end.
    T at(int i) const
    {
        QReadLocker locker(&lock);
        return i >= 0 && i < data.size() ? data.at(i) : T();
    }
    T operator[](int i) const { return at(i); }

    /// The last element, or T() when empty.
    T last() const
    {
        QReadLocker locker(&lock);
        return data.isEmpty() ? T() : data.last();
    }

    void append(const T& value)
    {
        QWriteLocker locker(&lock);
        data.append(value);
    }

    void append(const QVector<T>& values)
    {
        QWriteLocker locker(&lock);
        data.append(values);
    }

    /// Replaces element i; out of range changes nothing and returns false.
    bool replace(int i, const T& value)
    {
        QWriteLocker locker(&lock);
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
            QWriteLocker locker(&lock);
            data.swap(released);
        }
    }

    void reserve(int n)
    {
        QWriteLocker locker(&lock);
        data.reserve(n);
    }

    /// A consistent copy of [from, to), clamped to the elements that exist. The copy is a deep
    /// one: a shared copy would make the writer's next append copy the whole vector.
    QVector<T> copy(int from, int to) const
    {
        QReadLocker locker(&lock);
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
        QReadLocker locker(&lock);
        return std::forward<F>(f)(static_cast<const QVector<T>&>(data));
    }

private:
    mutable QReadWriteLock lock{QReadWriteLock::NonRecursive};
    QVector<T> data;
};
