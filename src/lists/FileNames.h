#pragma once
// Names within paths. Lists made on Windows separate folders with backslashes, so both
// separators count.

#include <QString>

namespace tessora {

// The part of a path after its last separator.
QString FileNameOf(const QString& path);
// The extension of the file name, dot included and lower-cased (".lst"); empty when it has none.
QString LowerExtension(const QString& path);

}  // namespace tessora
