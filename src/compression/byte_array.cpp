#include "compression/byte_array.h"

#include <cstring>

namespace archive {

void ByteArray::Allocate(std::size_t size, bool zeroed)
{
    data_.reset();
    size_ = 0;
    if (size == 0) {
        return;
    }
    auto* p = static_cast<std::uint8_t*>(zeroed ? std::calloc(size, 1) : std::malloc(size));
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    data_.reset(p);
    size_ = size;
}

ByteArray ByteArray::FromBytes(const void* bytes, std::size_t size)
{
    ByteArray array(size);
    if (size != 0) {
        std::memcpy(array.data(), bytes, size);
    }
    return array;
}

void ByteArray::ShrinkTo(std::size_t size)
{
    if (size >= size_) {
        return;
    }
    if (size == 0) {
        Clear();
        return;
    }
    if (auto* p = static_cast<std::uint8_t*>(std::realloc(data_.get(), size))) {
        (void)data_.release();
        data_.reset(p);
    }
    size_ = size;
}

} // namespace archive
