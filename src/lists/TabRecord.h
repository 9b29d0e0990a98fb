#pragma once
// Records of TAB-separated text, one per line, as tessora-cli prints them and the as-run log
// stores them.

#include <QString>
#include <QStringList>

namespace tessora {

// `text` as one field: a TAB or a line break inside it becomes a space, so it cannot split the
// record.
QString TabField(QString text);
// The fields joined by single TABs, each made a field first; no line end.
QString TabRecord(const QStringList& fields);

}  // namespace tessora
