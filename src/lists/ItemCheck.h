#pragma once
// The checks an item passes before it goes into a day list.

#include "PlayList.h"

#include <QString>
#include <QStringList>

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

// The external devices an item may name, by DeviceIndex.
inline const QStringList kDeviceNames = {QStringLiteral("卡座"), QStringLiteral("CD"), QStringLiteral("收音机")};

}  // namespace tessora
