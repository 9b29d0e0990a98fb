#include "ChannelFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessora;
    for (size_t at = 0; at + ChannelLayout::Size <= size; at += ChannelLayout::Size) {
        const ChannelConfig channel = DecodeChannel(std::span<const char, ChannelLayout::Size>(
            reinterpret_cast<const char*>(data) + at, ChannelLayout::Size));
        (void)EncodeChannel(channel);
    }
    return 0;
}
