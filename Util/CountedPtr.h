#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

// GCC 12 cannot see that a count shared by several owners outlives the release of one of them,
// and warns of a use after free where there is none.
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ >= 12
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuse-after-free"
#define OSTREL_COUNTED_PTR_PRAGMA
#endif

namespace Ostrel::Util {

// Reference-counted owning pointer. The count is a plain integer: every shared object lives on
// the user-interface thread, so no atomic operations are paid for.
// Raw byte buffers are held as arrays (CountedPtr<std::uint8_t[]>) and deleted as arrays.
template <typename T> class CountedPtr {
public:
    using Element = std::remove_extent_t<T>;

    CountedPtr() = default;
    CountedPtr(std::nullptr_t) {}
    explicit CountedPtr(Element* object)
        : object_(object), count_(object ? new std::uint32_t(1) : nullptr) {}
    CountedPtr(const CountedPtr& other) : object_(other.object_), count_(other.count_) { Retain(); }
    CountedPtr(CountedPtr&& other) noexcept
        : object_(std::exchange(other.object_, nullptr)),
          count_(std::exchange(other.count_, nullptr)) {}
    template <typename U,
              typename = std::enable_if_t<!std::is_array_v<T> && std::is_convertible_v<U*, T*>>>
    CountedPtr(const CountedPtr<U>& other) : object_(other.object_), count_(other.count_) {
        Retain();
    }
    ~CountedPtr() { Release(); }

    CountedPtr& operator=(const CountedPtr& other) {
        if (object_ != other.object_) {
            CountedPtr copy(other);
            Swap(copy);
        }
        return *this;
    }
    CountedPtr& operator=(CountedPtr&& other) noexcept {
        if (this != &other) {
            CountedPtr moved(std::move(other));
            Swap(moved);
        }
        return *this;
    }

    Element* Get() const { return object_; }
    Element* operator->() const { return object_; }
    Element& operator*() const { return *object_; }
    Element& operator[](std::size_t index) const { return object_[index]; }
    explicit operator bool() const { return object_ != nullptr; }
    bool operator==(const CountedPtr& other) const { return object_ == other.object_; }

    // Number of owners; a cache drops what only it still holds (a count of 1).
    std::uint32_t GetCount() const { return count_ ? *count_ : 0; }

    // Shares ownership with a pointer to a related class (for example a stream as a file).
    template <typename U> CountedPtr<U> DynamicCast() const {
        CountedPtr<U> result;
        if (U* cast = dynamic_cast<U*>(object_)) {
            result.object_ = cast;
            result.count_ = count_;
            result.Retain();
        }
        return result;
    }

private:
    template <typename U> friend class CountedPtr;

    void Retain() {
        if (count_) {
            ++*count_;
        }
    }
    void Release() {
        if (count_ && --*count_ == 0) {
            DeleteObject();
            delete count_;
        }
        object_ = nullptr;
        count_ = nullptr;
    }
    void DeleteObject() {
        static_assert(sizeof(Element) > 0, "the owner that releases last must see the whole type");
        if constexpr (std::is_array_v<T>) {
            delete[] object_;
        } else {
            delete object_;
        }
    }
    void Swap(CountedPtr& other) noexcept {
        std::swap(object_, other.object_);
        std::swap(count_, other.count_);
    }

    Element* object_ = nullptr;
    std::uint32_t* count_ = nullptr;
};

template <typename T, typename... Args> CountedPtr<T> MakeCounted(Args&&... args) {
    return CountedPtr<T>(new T(std::forward<Args>(args)...));
}

} // namespace Ostrel::Util

#ifdef OSTREL_COUNTED_PTR_PRAGMA
#pragma GCC diagnostic pop
#undef OSTREL_COUNTED_PTR_PRAGMA
#endif
