#pragma once
// Little-endian numbers at fixed offsets of the station's binary records.

#include <bit>
#include <cstring>
#include <span>

namespace tessora {

static_assert(std::endian::native == std::endian::little, "records are stored little-endian");

template <typename T>
void PutField(std::span<char> record, size_t offset, T value) {
    std::memcpy(record.data() + offset, &value, sizeof value);
}

template <typename T>
T GetField(std::span<const char> record, size_t offset) {
    T value;
    std::memcpy(&value, record.data() + offset, sizeof value);
    return value;
}

}  // namespace tessora
