#pragma once
// ns::SmallVector: a vector whose first N elements live inside it, so that the many small lists of a
// value type (the runs of a short attributed text, most often one) cost no allocation. Past N it moves its
// elements to the heap, growing as std::vector does. Elements must be nothrow movable.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

namespace ql::ns {

template <class T, std::size_t N>
class SmallVector {
    static_assert(N > 0);
    static_assert(std::is_nothrow_move_constructible_v<T> && std::is_nothrow_move_assignable_v<T>);

public:
    using value_type = T;
    using iterator = T*;
    using const_iterator = const T*;

    SmallVector() noexcept = default;
    SmallVector(const SmallVector& other) {
        reserve(other.size());
        append(other.begin(), other.end());
    }
    SmallVector(SmallVector&& other) noexcept { take(other); }
    SmallVector& operator=(const SmallVector& other) {
        if (this != &other) {
            SmallVector copy(other);
            *this = std::move(copy);
        }
        return *this;
    }
    SmallVector& operator=(SmallVector&& other) noexcept {
        if (this != &other) {
            clear();
            freeHeap();
            take(other);
        }
        return *this;
    }
    ~SmallVector() {
        clear();
        freeHeap();
    }

    std::size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }
    std::size_t capacity() const noexcept { return capacity_; }
    T* data() noexcept { return data_; }
    const T* data() const noexcept { return data_; }
    iterator begin() noexcept { return data_; }
    iterator end() noexcept { return data_ + size_; }
    const_iterator begin() const noexcept { return data_; }
    const_iterator end() const noexcept { return data_ + size_; }
    T& operator[](std::size_t i) noexcept { return data_[i]; }
    const T& operator[](std::size_t i) const noexcept { return data_[i]; }
    T& front() noexcept { return data_[0]; }
    const T& front() const noexcept { return data_[0]; }
    T& back() noexcept { return data_[size_ - 1]; }
    const T& back() const noexcept { return data_[size_ - 1]; }

    void reserve(std::size_t count) {
        if (count > capacity_) relocate(count);
    }
    void push_back(T value) {
        if (size_ == capacity_) relocate(grown(size_ + 1));
        ::new (data_ + size_) T(std::move(value));
        ++size_;
    }
    template <class... A>
    T& emplace_back(A&&... a) {
        push_back(T(std::forward<A>(a)...));
        return back();
    }
    template <class It>
    void append(It first, It last) {
        // Grown geometrically, as for one element: appending a few at a time must not move every element
        // each time.
        const std::size_t needed = size_ + static_cast<std::size_t>(std::distance(first, last));
        if (needed > capacity_) relocate(grown(needed));
        for (; first != last; ++first) {
            ::new (data_ + size_) T(*first);
            ++size_;
        }
    }
    iterator insert(const_iterator at, T value) {
        const std::size_t index = static_cast<std::size_t>(at - data_);
        push_back(std::move(value));
        std::rotate(data_ + index, data_ + size_ - 1, data_ + size_);
        return data_ + index;
    }
    // Inserts [first, last), which must not lie in this vector.
    template <class It>
    iterator insert(const_iterator at, It first, It last) {
        const std::size_t index = static_cast<std::size_t>(at - data_);
        const std::size_t before = size_;
        append(first, last);
        std::rotate(data_ + index, data_ + before, data_ + size_);
        return data_ + index;
    }
    iterator erase(const_iterator at) { return erase(at, at + 1); }
    iterator erase(const_iterator first, const_iterator last) {
        T* from = data_ + (first - data_);
        T* to = data_ + (last - data_);
        T* kept = std::move(to, end(), from);
        std::destroy(kept, end());
        size_ -= static_cast<std::size_t>(to - from);
        return from;
    }
    void clear() noexcept {
        std::destroy(begin(), end());
        size_ = 0;
    }

private:
    bool onHeap() const noexcept { return data_ != inlineData(); }
    T* inlineData() noexcept { return reinterpret_cast<T*>(inline_); }
    const T* inlineData() const noexcept { return reinterpret_cast<const T*>(inline_); }
    std::size_t grown(std::size_t needed) const noexcept { return std::max(needed, capacity_ * 2); }

    // Moves the elements to a heap block of `count` places.
    void relocate(std::size_t count) {
        T* block = std::allocator<T>().allocate(count);
        std::uninitialized_move(begin(), end(), block);
        std::destroy(begin(), end());
        freeHeap();
        data_ = block;
        capacity_ = count;
    }
    void freeHeap() noexcept {
        if (onHeap()) std::allocator<T>().deallocate(data_, capacity_);
        data_ = inlineData();
        capacity_ = N;
    }
    // Takes over the elements of `other` (this one is empty and inline); `other` is left empty.
    void take(SmallVector& other) noexcept {
        if (other.onHeap()) {
            data_ = other.data_;
            capacity_ = other.capacity_;
            other.data_ = other.inlineData();
            other.capacity_ = N;
        } else {
            std::uninitialized_move(other.begin(), other.end(), data_);
            std::destroy(other.begin(), other.end());
        }
        size_ = other.size_;
        other.size_ = 0;
    }

    T* data_ = inlineData();
    std::size_t size_ = 0;
    std::size_t capacity_ = N;
    alignas(T) unsigned char inline_[N * sizeof(T)];
};

}  // namespace ql::ns
