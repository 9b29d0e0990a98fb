#include "ItemCheck.h"

#include "DateTimeValue.h"
#include "GbkText.h"

namespace tessora {

ItemProblem CheckPlayItem(const PlayItem& item) {
    if (!(item.StartTime < item.EndTime)) return ItemProblem::StartNotBeforeEnd;
    if (item.Source.isEmpty()) return ItemProblem::NothingToPlay;
    if (!FitsGbk(item.Title) || !FitsGbk(item.Source) || !FitsGbk(item.Memo)) return ItemProblem::NotGbk;
    if (GbkLength(item.Title) > kMaxTitleBytes) return ItemProblem::TitleTooLong;
    if (GbkLength(item.Source) > kMaxSourceBytes) return ItemProblem::SourceTooLong;
    if (GbkLength(item.Memo) > kMaxMemoBytes) return ItemProblem::MemoTooLong;
    return ItemProblem::None;
}

double EndTimeFromLength(double start, uint32_t lengthMs) {
    const int64_t endSeconds = (TimeOfDayMs(start) + lengthMs) / 1000 % 86400;
    return TimeValue(0, 0, static_cast<int>(endSeconds));
}

ProblemText ItemProblemText(ItemProblem problem) {
    switch (problem) {
    case ItemProblem::None: return {};
    case ItemProblem::StartNotBeforeEnd:
        return {"开始日期必须在结束日期之前", "the start time must be earlier than the end time"};
    case ItemProblem::NothingToPlay: return {"请选择播放内容", "nothing to play: the source is empty"};
    case ItemProblem::TitleTooLong:
        return {"节目名称过长（最多50字节）", "the title is longer than 50 bytes in GBK"};
    case ItemProblem::SourceTooLong:
        return {"节目源过长（最多255字节）", "the source is longer than 255 bytes in GBK"};
    case ItemProblem::MemoTooLong: return {"备注过长（最多255字节）", "the memo is longer than 255 bytes in GBK"};
    case ItemProblem::NotGbk:
        return {"含有无法保存的字符", "a character that the GBK code page cannot hold"};
    }
    return {};
}

}  // namespace tessora
