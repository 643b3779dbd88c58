#pragma once
// A growable array of plain values whose memory, once large, is asked of the system in huge
// pages: tables read at random then cost far fewer page faults and TLB misses.

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <type_traits>

namespace quorvel::base {

// `bytes` of memory, aligned for huge pages when it is large; throws std::bad_alloc.
void* AllocateLarge(std::size_t& bytes);

template <class T> class HugeArray {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    std::size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }
    T* data() noexcept { return data_.get(); }
    const T* data() const noexcept { return data_.get(); }
    T& operator[](std::size_t i) noexcept { return data_[i]; }
    const T& operator[](std::size_t i) const noexcept { return data_[i]; }
    T& back() noexcept { return data_[size_ - 1]; }

    void reserve(std::size_t count) {
        if (count <= capacity_) return;
        std::size_t bytes = count * sizeof(T);
        std::unique_ptr<T[], Free> grown(static_cast<T*>(AllocateLarge(bytes)));
        if (size_ > 0) std::memcpy(grown.get(), data_.get(), size_ * sizeof(T));
        data_ = std::move(grown);
        capacity_ = bytes / sizeof(T);
    }
    void push_back(const T& value) {
        if (size_ == capacity_) reserve(capacity_ < 64 ? 64 : capacity_ * 2);
        data_[size_++] = value;
    }
    // The values of `values`, `count` of them, at the end. The returned pointer is where they went.
    T* append(std::size_t count) {
        if (size_ + count > capacity_) reserve(std::max(size_ + count, capacity_ * 2));
        T* at = data_.get() + size_;
        size_ += count;
        return at;
    }
    // Grows to `count` values of `value`, or cuts down to `count`.
    void assign(std::size_t count, const T& value) {
        size_ = 0;
        reserve(count);
        std::fill_n(data_.get(), count, value);
        size_ = count;
    }
    void resize_down(std::size_t count) noexcept {
        if (count < size_) size_ = count;
    }
    void pop_back() noexcept { --size_; }
    void clear() noexcept {
        data_.reset();
        size_ = capacity_ = 0;
    }

private:
    struct Free {
        void operator()(T* p) const noexcept { std::free(p); }
    };
    std::unique_ptr<T[], Free> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

} // namespace quorvel::base
