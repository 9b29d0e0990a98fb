#include "TabRecord.h"

namespace tessora {

QString TabField(QString text) {
    for (QChar& c : text)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    return text;
}

QString TabRecord(const QStringList& fields) {
    QStringList clean;
    clean.reserve(fields.size());
    for (const QString& f : fields) clean << TabField(f);
    return clean.join('\t');
}

}  // namespace tessora
