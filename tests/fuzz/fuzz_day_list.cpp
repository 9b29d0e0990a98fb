#include "PlayList.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessora;
    TPlayList list;
    for (size_t at = 0; at + PlayItemLayout::Size <= size; at += PlayItemLayout::Size)
        list.Items.push_back(DecodePlayItem(std::span<const char, PlayItemLayout::Size>(
            reinterpret_cast<const char*>(data) + at, PlayItemLayout::Size)));
    for (const PlayItem& item : list.Items) (void)EncodePlayItem(item);
    (void)list.FillListView();
    return 0;
}
