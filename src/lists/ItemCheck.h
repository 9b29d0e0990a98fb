#pragma once
// The checks an item passes before it goes into a day list.

#include "PlayList.h"

#include <QString>
#include <QStringList>

#include <cstdint>

namespace tessora {

enum class ItemProblem { None, StartNotBeforeEnd, NothingToPlay, TitleTooLong, SourceTooLong, MemoTooLong, NotGbk };

ItemProblem CheckPlayItem(const PlayItem& item);

// What the operator is told: the station's own Chinese text, and the same in English.
struct ProblemText {
    QString Chinese;
    QString English;
};
ProblemText ItemProblemText(ItemProblem problem);
inline const QString kBadTimeMessage = QStringLiteral("日期输入不正确");

// The end time an item gets from its file: `start` plus the file's length, as a time of day in
// whole seconds (the milliseconds dropped, past midnight wrapping to the next day's time).
double EndTimeFromLength(double start, uint32_t lengthMs);

// The external devices an item may name, by DeviceIndex.
inline const QStringList kDeviceNames = {QStringLiteral("卡座"), QStringLiteral("CD"), QStringLiteral("收音机")};

}  // namespace tessora
