// A growing array of plain values in one block from malloc. It throws nothing, so that the
// window program can hold a sweep and read its file without the exception machinery: running
// out of memory is a false from push_back or resize, for the caller to report.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <type_traits>

template <typename T> class Buffer {
    static_assert(std::is_trivially_copyable_v<T>, "values are moved with memcpy");

  public:
    Buffer() = default;
    Buffer(const Buffer &) = delete;
    Buffer &operator=(const Buffer &) = delete;
    Buffer(Buffer &&other) noexcept { take(other); }
    Buffer &operator=(Buffer &&other) noexcept {
        if (this != &other) {
            std::free(data_);
            take(other);
        }
        return *this;
    }
    ~Buffer() { std::free(data_); }

    bool push_back(const T &value) {
        if (size_ == capacity_ && !reserve(capacity_ ? 2 * capacity_ : FIRST_CAPACITY))
            return false;
        data_[size_++] = value;
        return true;
    }
    // Values beyond the old size are left as they are in memory: the caller writes them.
    bool resize(std::size_t size) {
        if (size > capacity_ && !reserve(size))
            return false;
        size_ = size;
        return true;
    }
    bool reserve(std::size_t capacity) {
        if (capacity <= capacity_)
            return true;
        if (capacity > static_cast<std::size_t>(-1) / sizeof(T))
            return false;
        T *grown = static_cast<T *>(std::realloc(data_, capacity * sizeof(T)));
        if (!grown)
            return false;
        data_ = grown;
        capacity_ = capacity;
        return true;
    }
    void clear() { size_ = 0; }
    // Drops the first count values.
    void erase_front(std::size_t count) {
        std::memmove(data_, data_ + count, (size_ - count) * sizeof(T));
        size_ -= count;
    }

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T *data() { return data_; }
    const T *data() const { return data_; }
    T *begin() { return data_; }
    T *end() { return data_ + size_; }
    const T *begin() const { return data_; }
    const T *end() const { return data_ + size_; }
    T &operator[](std::size_t i) { return data_[i]; }
    const T &operator[](std::size_t i) const { return data_[i]; }
    T &front() { return data_[0]; }
    const T &front() const { return data_[0]; }
    T &back() { return data_[size_ - 1]; }
    const T &back() const { return data_[size_ - 1]; }

  private:
    static constexpr std::size_t FIRST_CAPACITY = 64;

    void take(Buffer &other) {
        data_ = other.data_;
        size_ = other.size_;
        capacity_ = other.capacity_;
        other.data_ = nullptr;
        other.size_ = other.capacity_ = 0;
    }

    T *data_ = nullptr;
    std::size_t size_ = 0, capacity_ = 0;
};
