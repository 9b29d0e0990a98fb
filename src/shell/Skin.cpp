#include "Skin.h"

#include "FileError.h"
#include "IniFile.h"

#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QMetaEnum>
#include <QRegularExpression>
#include <QWidget>

namespace tessora {

namespace {

const QString kSkinSection = QStringLiteral("skin");
const QString kStyleSheetKey = QStringLiteral("StyleSheet");
const QString kPaletteSection = QStringLiteral("palette");
const QString kDisabledSection = QStringLiteral("palette.disabled");

bool IsPlainFolderName(const QString& name) {
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') && !name.contains('\\');
}

// Colours of one section by role name ("Window=#20242a"); unknown roles and unreadable colours
// are passed over.
bool ReadColours(const TIniFile& ini, const QString& section, QPalette& palette, QPalette::ColorGroup group) {
    const QMetaEnum roles = QMetaEnum::fromType<QPalette::ColorRole>();
    bool any = false;
    for (int i = 0; i < roles.keyCount(); ++i) {
        const auto role = static_cast<QPalette::ColorRole>(roles.value(i));
        if (role == QPalette::NoRole || role >= QPalette::NColorRoles) continue;
        const std::optional<QString> text = ini.Read(section, QString::fromLatin1(roles.key(i)));
        if (!text) continue;
        const QColor colour = QColor::fromString(*text);
        if (!colour.isValid()) continue;
        if (group == QPalette::All)
            palette.setColor(role, colour);
        else
            palette.setColor(group, role, colour);
        any = true;
    }
    return any;
}

}  // namespace

QString SkinsFolderOf(const QString& stationFolder) {
    QString folder = stationFolder;
    if (!folder.isEmpty() && !folder.endsWith('/')) folder += '/';
    return folder + kSkinsFolderName;
}

QStringList ScanSkins(const QString& skinsFolder) {
    QStringList names;
    const QFileInfoList entries = QDir(skinsFolder).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (entry.isSymLink() || entry.isHidden() || entry.fileName().startsWith('.')) continue;
        const QFileDevice::Permissions mode = entry.permissions();
        // The owner's write bit stands for the read-only attribute: it says the same for every
        // user, root included, as the attribute does.
        if (!(mode & QFileDevice::ReadOwner) || !(mode & QFileDevice::WriteOwner) || !(mode & QFileDevice::ExeOwner))
            continue;
        names << entry.fileName();
    }
    return names;
}

QString ResolveStyleSheetUrls(const QString& styleSheet, const QString& folder) {
    static const QRegularExpression url(QStringLiteral(R"re(url\(\s*(["']?)([^)"']+)\1\s*\))re"));
    QString result;
    qsizetype last = 0;
    auto it = url.globalMatch(styleSheet);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const QString target = m.captured(2).trimmed();
        // Qt resources and absolute paths stay as they are.
        const bool relative = !target.startsWith(':') && !QDir::isAbsolutePath(target);
        result += styleSheet.mid(last, m.capturedStart() - last);
        result += relative ? QStringLiteral("url(\"%1\")").arg(QDir(folder).filePath(target)) : m.captured(0);
        last = m.capturedEnd();
    }
    result += styleSheet.mid(last);
    return result;
}

std::optional<TSkin> LoadSkin(const QString& skinsFolder, const QString& name) {
    if (!IsPlainFolderName(name)) return std::nullopt;
    const QString folder = QDir(skinsFolder).filePath(name);
    try {
        TIniFile ini;
        if (!QFileInfo(QDir(folder).filePath(kSkinFileName)).isFile()) return std::nullopt;
        ini.Load(QDir(folder).filePath(kSkinFileName));
        TSkin skin;
        skin.Name = name;
        const QString sheetName = ini.ReadString(kSkinSection, kStyleSheetKey, QString());
        if (!sheetName.isEmpty()) {
            if (!IsPlainFolderName(sheetName)) return std::nullopt;
            const QByteArray sheet = ReadWholeFile(QDir(folder).filePath(sheetName));
            skin.StyleSheet = ResolveStyleSheetUrls(QString::fromUtf8(sheet), folder);
        }
        QPalette palette;
        const bool anyColour = ReadColours(ini, kPaletteSection, palette, QPalette::All);
        const bool anyDisabled = ReadColours(ini, kDisabledSection, palette, QPalette::Disabled);
        if (anyColour || anyDisabled) skin.Palette = palette;
        if (skin.IsPlain()) return std::nullopt;
        return skin;
    } catch (const EFileError&) {
        return std::nullopt;
    }
}

void ApplySkin(QWidget& window, const TSkin& skin) {
    window.setStyleSheet(skin.StyleSheet);
    window.setPalette(skin.Palette ? *skin.Palette : QPalette());
}

}  // namespace tessora
