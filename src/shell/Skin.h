#pragma once
// Skins: one folder per skin in "skins" below the station folder. A skin's "skin.ini" names a Qt
// style sheet in the folder (whose url(...) images are found in the folder too) and the colours of
// a palette. Finding and reading skins touches the disk and runs off the GUI thread; ApplySkin only
// hands the loaded skin to a window.

#include <QPalette>
#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

namespace tessora {

inline const QString kSkinsFolderName = QStringLiteral("skins");
inline const QString kSkinFileName = QStringLiteral("skin.ini");
inline const QString kDefaultSkinName = QStringLiteral("Corner");

// A skin as loaded. The default value is the plain look: no style sheet, the platform's palette.
struct TSkin {
    QString Name;
    QString StyleSheet;
    std::optional<QPalette> Palette;
    bool IsPlain() const { return StyleSheet.isEmpty() && !Palette; }
};

// The skins folder of a station folder (given with or without its trailing separator), without a
// separator at the end.
QString SkinsFolderOf(const QString& stationFolder);

// The names of the skin folders in `skinsFolder`, sorted by name: plain folders only, that is not
// hidden (a name starting with "."), not a symbolic link, and readable and writable by their owner.
// A folder whose owner may not write it stands for a read-only one and is left out, as is every
// file. A missing folder gives none.
QStringList ScanSkins(const QString& skinsFolder);

// Reads the skin `name` of `skinsFolder`. A name that is not one plain folder name, a missing or
// unreadable "skin.ini", and a missing style sheet give nullopt: the window keeps the plain look.
std::optional<TSkin> LoadSkin(const QString& skinsFolder, const QString& name);

// The style sheet text with every relative url(...) made absolute in `folder`.
QString ResolveStyleSheetUrls(const QString& styleSheet, const QString& folder);

// Gives `window` the skin's style sheet and palette; the plain skin takes them away again.
void ApplySkin(QWidget& window, const TSkin& skin);

}  // namespace tessora
