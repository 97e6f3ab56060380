// A COM object the host holds, given back when the owner goes out of scope
// or takes another. No heap, no exceptions.
#pragma once

template <typename T>
class ComOwner {
public:
    ComOwner() = default;
    ~ComOwner() { reset(); }
    ComOwner(const ComOwner &) = delete;
    ComOwner &operator=(const ComOwner &) = delete;

    T *operator->() const { return object_; }
    T *get() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    // For the calls that hand out an object: the one held before is given back first.
    T **put()
    {
        reset();
        return &object_;
    }
    void **putVoid() { return reinterpret_cast<void **>(put()); }
    void reset()
    {
        if (object_) object_->Release();
        object_ = nullptr;
    }

private:
    T *object_ = nullptr;
};
