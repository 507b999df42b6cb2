#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <string_view>

namespace archive {

// A growable byte array whose fresh storage is zero-filled by the allocator
// (calloc): pages of a large buffer that are never written cost no memory,
// so a size field that claims gigabytes costs only what is really produced.
class ByteArray {
  public:
    ByteArray() = default;
    explicit ByteArray(std::size_t size) { Allocate(size, true); }
    // `size` bytes that are not zero-filled, for a caller that writes them
    // from the start and then cuts the array (ShrinkTo) to what it wrote, so
    // that nothing unwritten is ever read: a read or an inflate. Spares the
    // filling, and with it touching every page of a large buffer.
    static ByteArray ForOverwrite(std::size_t size)
    {
        ByteArray array;
        array.Allocate(size, false);
        return array;
    }
    static ByteArray FromBytes(const void* bytes, std::size_t size);
    static ByteArray FromString(std::string_view text) { return FromBytes(text.data(), text.size()); }

    std::uint8_t* data() { return data_.get(); }
    const std::uint8_t* data() const { return data_.get(); }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::uint8_t& operator[](std::size_t i) { return data_.get()[i]; }
    const std::uint8_t& operator[](std::size_t i) const { return data_.get()[i]; }
    std::string_view AsText() const { return {reinterpret_cast<const char*>(data()), size_}; }

    // Keeps the first `size` bytes (size must not exceed the current size).
    void ShrinkTo(std::size_t size);
    void Clear()
    {
        data_.reset();
        size_ = 0;
    }

  private:
    struct Free {
        void operator()(std::uint8_t* p) const { std::free(p); }
    };
    void Allocate(std::size_t size, bool zeroed);

    std::unique_ptr<std::uint8_t, Free> data_;
    std::size_t size_ = 0;
};

} // namespace archive
