#pragma once

/// Process-wide single instance of `T`, made on first use and destroyed at
/// process exit. `T` derives publicly from Singleton<T>; a `T` with a
/// protected constructor declares `friend class Singleton<T>`.
///
/// NOTE: creation is not locked; the engine calls it from the GL thread only.
template <class T>
class Singleton {
public:
    /// The one instance of `T`, constructed on the first call.
    static T& Instance() {
        static T instance;
        return instance;
    }

    Singleton& operator=(const Singleton&) { return *this; }

protected:
    Singleton() = default;
    Singleton(const Singleton&) = default;
    virtual ~Singleton() = default;
};
