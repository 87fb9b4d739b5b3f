// IRefCountable and VRefPtr: shared ownership by an atomic reference count.
#pragma once

#include <atomic>
#include <cstdint>
#include <utility>

namespace vkit {

/// Mix-in for objects shared by reference counting. Objects are created with one reference;
/// Release deletes the object when the count falls to zero.
class IRefCountable {
public:
    IRefCountable() noexcept : fRefCount(1) {}
    IRefCountable(const IRefCountable&) noexcept : fRefCount(1) {}
    IRefCountable& operator=(const IRefCountable&) noexcept { return *this; }
    virtual ~IRefCountable() = default;

    /// Adds a reference; returns the new count.
    int32_t Retain() const noexcept { return fRefCount.fetch_add(1, std::memory_order_relaxed) + 1; }

    /// Removes a reference and deletes the object when none is left; returns the new count.
    int32_t Release() const noexcept {
        int32_t count = fRefCount.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (count == 0)
            const_cast<IRefCountable*>(this)->DoOnRefCountZero();
        return count;
    }

    int32_t GetRefCount() const noexcept { return fRefCount.load(std::memory_order_relaxed); }
    /// True when the caller holds the only reference: nobody else uses the object, and whatever the
    /// holders of the released references did with it happened before this answer.
    bool HasSingleReference() const noexcept { return fRefCount.load(std::memory_order_acquire) == 1; }

protected:
    /// Called when the last reference is released; deletes the object. Defined out of line: inlined
    /// into Release, g++ speculatively devirtualizes it to this base and warns about freeing a base
    /// subobject, a path that cannot happen.
    virtual void DoOnRefCountZero();

private:
    mutable std::atomic<int32_t> fRefCount;
};

/// Retains an object that may be null and returns it.
template <class T>
T* RetainRefCountable(T* inObject) noexcept {
    if (inObject != nullptr)
        inObject->Retain();
    return inObject;
}

/// Releases an object that may be null and sets the pointer to null.
template <class T>
void ReleaseRefCountable(T** ioObject) noexcept {
    if (*ioObject != nullptr) {
        (*ioObject)->Release();
        *ioObject = nullptr;
    }
}

/// Replaces *ioTarget by inSource, retaining the new object and releasing the old one.
template <class T>
void CopyRefCountable(T** ioTarget, T* inSource) noexcept {
    if (*ioTarget != inSource) {
        RetainRefCountable(inSource);
        ReleaseRefCountable(ioTarget);
        *ioTarget = inSource;
    }
}

/// Owning smart pointer over a reference-counted object.
template <class T>
class VRefPtr {
public:
    VRefPtr() noexcept = default;
    /// Takes one new reference on inObject (Retain) unless inAdopt is true.
    explicit VRefPtr(T* inObject, bool inAdopt = false) noexcept : fObject(inObject) {
        if (!inAdopt)
            RetainRefCountable(fObject);
    }
    VRefPtr(const VRefPtr& inOther) noexcept : fObject(RetainRefCountable(inOther.fObject)) {}
    VRefPtr(VRefPtr&& inOther) noexcept : fObject(std::exchange(inOther.fObject, nullptr)) {}
    ~VRefPtr() { ReleaseRefCountable(&fObject); }

    VRefPtr& operator=(const VRefPtr& inOther) noexcept {
        CopyRefCountable(&fObject, inOther.fObject);
        return *this;
    }
    VRefPtr& operator=(VRefPtr&& inOther) noexcept {
        if (this != &inOther) {
            ReleaseRefCountable(&fObject);
            fObject = std::exchange(inOther.fObject, nullptr);
        }
        return *this;
    }

    /// Takes over a reference the caller owns (the result of a Retain... operation or of new).
    void Adopt(T* inObject) noexcept {
        ReleaseRefCountable(&fObject);
        fObject = inObject;
    }
    /// Hands the reference to the caller.
    [[nodiscard]] T* Forget() noexcept { return std::exchange(fObject, nullptr); }
    /// A new reference for the caller.
    [[nodiscard]] T* Retain() const noexcept { return RetainRefCountable(fObject); }

    T* Get() const noexcept { return fObject; }
    T* operator->() const noexcept { return fObject; }
    T& operator*() const noexcept { return *fObject; }
    explicit operator bool() const noexcept { return fObject != nullptr; }
    bool operator==(const VRefPtr& inOther) const noexcept { return fObject == inOther.fObject; }

private:
    T* fObject = nullptr;
};

/// Wraps the result of new or of a Retain... operation, taking over its reference.
template <class T>
VRefPtr<T> AdoptRef(T* inObject) noexcept {
    return VRefPtr<T>(inObject, true);
}

} // namespace vkit
