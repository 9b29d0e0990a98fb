#include "ElideMiddle.h"

namespace tessora {

QStyleOptionViewItem TElideMiddle::OptionFor(const QStyleOptionViewItem& base, const QModelIndex& index) const {
    QStyleOptionViewItem option = base;
    initStyleOption(&option, index);
    return option;
}

void TElideMiddle::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    option->textElideMode = Qt::ElideMiddle;
}

}  // namespace tessora
