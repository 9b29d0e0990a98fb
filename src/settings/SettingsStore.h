#pragma once
// The program-wide settings: "Tessora.ini" in the program folder, section "tessora", and the
// administrator password kept per user, apart from that file.

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

namespace tessora {

inline const QString kDefaultSystemName = QStringLiteral("Tessora多通道智能广播系统");
// The application's own title, for message boxes (the window caption is the system name alone).
inline const QString kApplicationTitle = QStringLiteral("多通道智能广播系统");
inline const QString kSettingsFileName = QStringLiteral("Tessora.ini");
inline const QString kSettingsSection = QStringLiteral("tessora");

struct SystemSettings {
    QString Password;
    bool CheckPassOnInOut = false;
    double AutoShutDownTime = 0;  // time of day, whole part 0
    bool AutoShutDown = false;
    bool ShowPlayer = false;
    bool ShowListDetail = false;
    QString SystemName;
    bool ShowSystemName = false;
    QString MusicDirectory;
    QString ListDirectory;
    QString TemplateDirectory;
    int32_t PreviewDeviceID = 0;
    int32_t PlayingInterval = 0;
    int32_t PreviewVolume = 0;
};

// The two stored values that belong to the main window rather than to SystemSettings.
struct MainWindowSettings {
    QString SkinName;
    int PlayerPanelHeight = 0;
};

// The title the main window shows.
QString MainWindowTitle(const SystemSettings& settings);

// Where the administrator password lives: per user, surviving between runs.
class PasswordStore {
public:
    virtual ~PasswordStore() = default;
    // nullopt when the store cannot be opened; an empty string when no password was ever stored.
    virtual std::optional<QString> Read() = 0;
    virtual bool Write(const QString& password) = 0;
};

// The user's own configuration ("norvane"/"tessora", value "pass"), readable by the user alone.
// `fileOverride` places it elsewhere (tests).
std::unique_ptr<PasswordStore> MakeUserPasswordStore(const QString& fileOverride = {});

class TSettingsStore {
public:
    TSettingsStore(QString programFolder, PasswordStore& passwords);

    QString SettingsFile() const { return programFolder_ + kSettingsFileName; }

    // Fills both records; missing or unreadable values take their defaults.
    void LoadSettings(SystemSettings& settings, MainWindowSettings& window);
    // Rewrites the keys of the store and keeps everything else in the file. False, with the reason
    // in LastError(), when the file could not be written, or when it existed but could not be read
    // at load: then writing would replace the operator's values by defaults.
    bool SaveSettings(const SystemSettings& settings, const MainWindowSettings& window);
    QString LastError() const { return lastError_; }

private:
    QString programFolder_;
    PasswordStore& passwords_;
    bool loadFailed_ = false;
    QString lastError_;
};

}  // namespace tessora
