#pragma once

#include <type_traits>
#include <utility>

namespace refptr_detail {

template <class T, class = void>
struct HasLowerCaseAddRef : std::false_type {};
template <class T>
struct HasLowerCaseAddRef<T, std::void_t<decltype(std::declval<T&>().addRef())>> : std::true_type {};

// Our own counted objects spell addRef/release, COM objects AddRef/Release.
template <class T>
void addRef(T* p) {
    if constexpr (HasLowerCaseAddRef<T>::value) {
        p->addRef();
    } else {
        p->AddRef();
    }
}

template <class T>
void release(T* p) {
    if constexpr (HasLowerCaseAddRef<T>::value) {
        p->release();
    } else {
        p->Release();
    }
}

} // namespace refptr_detail

// Owns one reference on a reference-counted object: copying adds a reference, destruction
// and reassignment release the one held. adopt() takes over a reference the caller already
// owns; put() hands out the slot for a function that returns a new reference through it.
template <class T>
class RefPtr {
public:
    RefPtr() = default;
    RefPtr(std::nullptr_t) {}

    // Takes over one reference the caller owns, without adding one.
    static RefPtr adopt(T* p) {
        RefPtr r;
        r.m_p = p;
        return r;
    }

    // Adds a reference of its own to an object someone else keeps.
    static RefPtr share(T* p) {
        if (p != nullptr) {
            refptr_detail::addRef(p);
        }
        return adopt(p);
    }

    RefPtr(const RefPtr& other) : m_p(other.m_p) {
        if (m_p != nullptr) {
            refptr_detail::addRef(m_p);
        }
    }
    RefPtr(RefPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}

    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    RefPtr(const RefPtr<U>& other) : m_p(other.get()) {
        if (m_p != nullptr) {
            refptr_detail::addRef(m_p);
        }
    }
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    RefPtr(RefPtr<U>&& other) noexcept : m_p(other.detach()) {}

    ~RefPtr() { reset(); }

    RefPtr& operator=(RefPtr other) noexcept {
        std::swap(m_p, other.m_p);
        return *this;
    }

    // Releases the reference held, if any.
    void reset() {
        if (T* p = std::exchange(m_p, nullptr)) {
            refptr_detail::release(p);
        }
    }

    // Gives up the reference held without releasing it; the caller now owns it.
    T* detach() { return std::exchange(m_p, nullptr); }

    // Releases what is held and returns the slot for an out-parameter that receives a new reference.
    T** put() {
        reset();
        return &m_p;
    }

    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    T& operator*() const { return *m_p; }
    explicit operator bool() const { return m_p != nullptr; }

private:
    T* m_p = nullptr;
};

template <class T, class U>
bool operator==(const RefPtr<T>& a, const RefPtr<U>& b) {
    return a.get() == b.get();
}

template <class T, class U>
bool operator!=(const RefPtr<T>& a, const RefPtr<U>& b) {
    return a.get() != b.get();
}

// Creates a counted object and owns the one reference it is born with.
template <class T, class... Args>
RefPtr<T> makeRef(Args&&... args) {
    return RefPtr<T>::adopt(new T(std::forward<Args>(args)...));
}
