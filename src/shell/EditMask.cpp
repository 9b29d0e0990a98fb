#include "EditMask.h"

#include <QHash>
#include <QStringList>

namespace tessora {

namespace {

// Mask characters of the station's notation and their Qt counterparts.
const QHash<QChar, QChar>& Translations() {
    static const QHash<QChar, QChar> table = {
        {'0', '9'}, {'9', '0'}, {'#', '#'}, {'L', 'A'}, {'l', 'a'}, {'A', 'N'},
        {'a', 'n'}, {'C', 'X'}, {'c', 'x'}, {'>', '>'}, {'<', '<'}, {'_', ' '},
    };
    return table;
}

// Characters that Qt reads as mask characters, and so must be escaped to stand for themselves.
bool SpecialToQt(QChar c) { return QStringLiteral("AaNnXx90DdHhBb#><!;[]{}\\").contains(c); }

}  // namespace

QString QtInputMask(const QString& editMask) {
    const QStringList parts = editMask.split(';');
    const QString mask = parts.value(0);
    const QString blank = parts.size() > 2 && !parts[2].isEmpty() ? parts[2].left(1) : QStringLiteral(" ");

    QString qt;
    for (qsizetype i = 0; i < mask.size(); ++i) {
        const QChar c = mask[i];
        if (c == '!') continue;
        if (c == '\\' && i + 1 < mask.size()) {
            const QChar literal = mask[++i];
            if (SpecialToQt(literal)) qt += '\\';
            qt += literal;
        } else if (Translations().contains(c)) {
            qt += Translations().value(c);
        } else {
            if (SpecialToQt(c)) qt += '\\';
            qt += c;
        }
    }
    return qt + ';' + blank;
}

}  // namespace tessora
