// tessora-fontgen: writes the LED font bitmaps into a folder, or with --check compares the
// bitmaps in a folder with what the glyph table gives now.

#include "FontRender.h"

#include <QDir>
#include <QCoreApplication>
#include <QImage>
#include <QSaveFile>
#include <QTextStream>

#include <exception>

namespace {

using tessora::fontgen::FontStyle;

bool writeFont(const QDir& folder, const FontStyle& style, QTextStream& err)
{
    QSaveFile file(folder.filePath(style.fileName));
    if (!file.open(QIODevice::WriteOnly) || !tessora::fontgen::renderFont(style).save(&file, "PNG")
        || !file.commit()) {
        err << "cannot write " << file.fileName() << ": " << file.errorString() << "\n";
        return false;
    }
    return true;
}

bool checkFont(const QDir& folder, const FontStyle& style, QTextStream& err)
{
    const QString path = folder.filePath(style.fileName);
    const QImage stored(path);
    if (stored.isNull()) {
        err << "cannot read " << path << "\n";
        return false;
    }
    if (stored.convertToFormat(QImage::Format_RGB32) != tessora::fontgen::renderFont(style)) {
        err << path << " differs from the glyph table; run tessora-fontgen " << folder.path() << "\n";
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    QStringList args = app.arguments().mid(1);
    const bool check = !args.isEmpty() && args.first() == "--check";
    if (check)
        args.removeFirst();
    if (args.size() != 1) {
        err << "usage: tessora-fontgen [--check] FOLDER\n";
        return 2;
    }
    const QDir folder(args.first());
    if (!folder.exists()) {
        err << "no such folder: " << folder.path() << "\n";
        return 2;
    }
    try {
        bool ok = true;
        for (const FontStyle& style : tessora::fontgen::ledFontStyles())
            ok = (check ? checkFont(folder, style, err) : writeFont(folder, style, err)) && ok;
        return ok ? 0 : 1;
    } catch (const std::exception& e) {
        err << e.what() << "\n";
        return 1;
    }
}
