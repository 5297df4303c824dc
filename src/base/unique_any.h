#pragma once
// One owner for every kind of handle: unique_any<T, Close, Invalid> holds a
// value of T and hands it to Close exactly once, unless it is the kind's
// "no handle" value. Kinds differ in that value: most handles use null, but
// CreateFile and FindFirstFile report failure as INVALID_HANDLE_VALUE, which
// must never reach CloseHandle or FindClose. Invalid is a type with a static
// value() returning it; NullInvalid<T> by default. handles_win.h holds the
// updater's kinds, among them:
//
//     using UniqueFind = unique_any<HANDLE, &handle_close::Find, InvalidHandleValue>;
//     UniqueFind find(FindFirstFileW(...));
//     if (!find) ...;  // INVALID_HANDLE_VALUE: nothing to close
#include <utility>

template <typename T>
struct NullInvalid {
    static constexpr T value() { return T{}; }
};

template <typename T, auto Close, typename Invalid = NullInvalid<T>>
class unique_any {
public:
    using value_type = T;

    unique_any() = default;
    explicit unique_any(T value) : value_(value) {}
    ~unique_any() { reset(); }
    unique_any(unique_any&& other) noexcept : value_(other.release()) {}
    unique_any& operator=(unique_any&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    unique_any(const unique_any&) = delete;
    unique_any& operator=(const unique_any&) = delete;

    T get() const { return value_; }
    explicit operator bool() const { return value_ != Invalid::value(); }

    // Gives the value up without closing it.
    T release() { return std::exchange(value_, Invalid::value()); }
    void reset(T value = Invalid::value()) {
        const T previous = std::exchange(value_, value);
        if (previous != Invalid::value()) Close(previous);
    }
    // For functions that return the handle through a pointer: closes what is
    // held and lets the callee write the new value.
    T* put() {
        reset();
        return &value_;
    }

private:
    T value_ = Invalid::value();
};
