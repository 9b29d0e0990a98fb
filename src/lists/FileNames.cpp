#include "FileNames.h"

#include <algorithm>

namespace tessora {

QString FileNameOf(const QString& path) {
    const qsizetype cut = std::max(path.lastIndexOf('/'), path.lastIndexOf('\\'));
    return path.mid(cut + 1);
}

QString LowerExtension(const QString& path) {
    const QString name = FileNameOf(path);
    const qsizetype dot = name.lastIndexOf('.');
    return dot < 0 ? QString() : name.mid(dot).toLower();
}

}  // namespace tessora
