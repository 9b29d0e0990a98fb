#pragma once
// A table column whose texts are cut in the middle when they do not fit: a path keeps its folder's
// beginning and its file name, which is what tells one item from the next.

#include <QStyledItemDelegate>

namespace tessora {

class TElideMiddle : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // The option a cell is drawn with.
    QStyleOptionViewItem OptionFor(const QStyleOptionViewItem& base, const QModelIndex& index) const;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

}  // namespace tessora
