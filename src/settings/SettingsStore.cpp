#include "SettingsStore.h"

#include "DateTimeValue.h"
#include "FileError.h"
#include "IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>

namespace tessora {

namespace {

// A time of day as the settings file keeps it ("7:30:00"), optionally after a date.
std::optional<double> ReadTimeText(const QString& text) {
    static const QRegularExpression pattern(
        R"(^\s*(?:\d{4}[-/.]\d{1,2}[-/.]\d{1,2}\s+)?(\d{1,2}):(\d{1,2})(?::(\d{1,2}))?\s*$)");
    const auto match = pattern.match(text);
    if (!match.hasMatch()) return std::nullopt;
    const int h = match.captured(1).toInt(), m = match.captured(2).toInt(), s = match.captured(3).toInt();
    if (h > 23 || m > 59 || s > 59) return std::nullopt;
    return TimeValue(h, m, s);
}

QString WriteTimeText(double time) {
    const int64_t seconds = TimeOfDayMs(time) / 1000;
    return QString("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QChar('0'))
        .arg(seconds % 60, 2, 10, QChar('0'));
}

class UserPasswordStore final : public PasswordStore {
public:
    explicit UserPasswordStore(const QString& fileOverride)
        : settings_(fileOverride.isEmpty()
                        ? std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, "norvane", "tessora")
                        : std::make_unique<QSettings>(fileOverride, QSettings::NativeFormat)) {}

    std::optional<QString> Read() override {
        settings_->sync();
        if (settings_->status() != QSettings::NoError) return std::nullopt;
        return settings_->value("pass").toString();
    }

    bool Write(const QString& password) override {
        KeepFolderPrivate();
        settings_->setValue("pass", password);
        settings_->sync();
        if (settings_->status() != QSettings::NoError) return false;
        return KeepFilePrivate();
    }

private:
    // The password is plain text: nobody but the user may read it or list its folder.
    void KeepFolderPrivate() const {
        const QString folder = QFileInfo(settings_->fileName()).absolutePath();
        QDir().mkpath(folder);
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    bool KeepFilePrivate() const {
        const QString file = settings_->fileName();
        return !QFileInfo::exists(file) || QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }

    std::unique_ptr<QSettings> settings_;
};

}  // namespace

QString MainWindowTitle(const SystemSettings& settings) {
    return settings.ShowSystemName ? settings.SystemName : kDefaultSystemName;
}

std::unique_ptr<PasswordStore> MakeUserPasswordStore(const QString& fileOverride) {
    return std::make_unique<UserPasswordStore>(fileOverride);
}

TSettingsStore::TSettingsStore(QString programFolder, PasswordStore& passwords)
    : programFolder_(std::move(programFolder)), passwords_(passwords) {
    if (!programFolder_.isEmpty() && !programFolder_.endsWith('/')) programFolder_ += '/';
}

void TSettingsStore::LoadSettings(SystemSettings& s, MainWindowSettings& window) {
    TIniFile ini;
    loadFailed_ = false;
    try {
        ini.Load(SettingsFile());
    } catch (const EFileError& e) {
        loadFailed_ = true;
        lastError_ = SettingsFile() + ": " + e.Message;
    }
    if (const auto password = passwords_.Read()) s.Password = *password;

    const QString& sec = kSettingsSection;
    window.SkinName = ini.ReadString(sec, "skin", "Corner");
    window.PlayerPanelHeight = ini.ReadInteger(sec, "splitter1", 400);
    s.AutoShutDownTime = ReadTimeText(ini.ReadString(sec, "AutoShutDownTime", {})).value_or(0.0);
    s.AutoShutDown = ini.ReadBool(sec, "bAutoShutDown", false);
    s.SystemName = ini.ReadString(sec, "SystemName", kDefaultSystemName);
    s.ShowSystemName = ini.ReadBool(sec, "bshowsystemName", true);
    s.CheckPassOnInOut = ini.ReadBool(sec, "bcheckpassoninout", false);
    s.MusicDirectory = ini.ReadString(sec, "musicdirectory", programFolder_ + "music");
    s.ListDirectory = ini.ReadString(sec, "ListDirectory", programFolder_ + "list");
    s.TemplateDirectory = ini.ReadString(sec, "templatedirectory", programFolder_ + "template");
    s.PlayingInterval = ini.ReadInteger(sec, "playinginteval", 0);
    s.PreviewDeviceID = ini.ReadInteger(sec, "PreviewDeviceID", 0);
    s.PreviewVolume = ini.ReadInteger(sec, "previewVolume", 0);
    s.ShowPlayer = ini.ReadBool(sec, "bShowPlayer", true);
    s.ShowListDetail = ini.ReadBool(sec, "bShowListDetail", true);
    const RemoteSettings remote;
    s.Remote.Enabled = ini.ReadBool(kRemoteSection, "Enabled", remote.Enabled);
    s.Remote.Address = ini.ReadString(kRemoteSection, "Address", remote.Address).trimmed();
    s.Remote.Port = ini.ReadInteger(kRemoteSection, "Port", remote.Port);
    s.Remote.PublicMetrics = ini.ReadBool(kRemoteSection, "PublicMetrics", remote.PublicMetrics);
}

bool TSettingsStore::SaveSettings(const SystemSettings& s, const MainWindowSettings& window) {
    passwords_.Write(s.Password);
    if (loadFailed_) {
        lastError_ = SettingsFile() + ": could not be read at start, so it is left as it was";
        return false;
    }
    try {
        // Read the file afresh so that what others wrote into it meanwhile is kept too.
        TIniFile ini;
        ini.Load(SettingsFile());
        const QString& sec = kSettingsSection;
        ini.Write(sec, "skin", window.SkinName);
        ini.WriteInteger(sec, "splitter1", window.PlayerPanelHeight);
        ini.Write(sec, "AutoShutDownTime", WriteTimeText(s.AutoShutDownTime));
        ini.WriteBool(sec, "bAutoShutDown", s.AutoShutDown);
        ini.Write(sec, "SystemName", s.SystemName);
        ini.WriteBool(sec, "bshowsystemName", s.ShowSystemName);
        ini.WriteBool(sec, "bcheckpassoninout", s.CheckPassOnInOut);
        ini.Write(sec, "musicdirectory", s.MusicDirectory);
        ini.Write(sec, "ListDirectory", s.ListDirectory);
        ini.Write(sec, "templatedirectory", s.TemplateDirectory);
        ini.WriteInteger(sec, "PreviewDeviceID", s.PreviewDeviceID);
        ini.WriteInteger(sec, "playinginteval", s.PlayingInterval);
        ini.WriteInteger(sec, "previewVolume", s.PreviewVolume);
        ini.WriteBool(sec, "bShowPlayer", s.ShowPlayer);
        ini.WriteBool(sec, "bShowListDetail", s.ShowListDetail);
        ini.WriteBool(kRemoteSection, "Enabled", s.Remote.Enabled);
        ini.Write(kRemoteSection, "Address", s.Remote.Address);
        ini.WriteInteger(kRemoteSection, "Port", s.Remote.Port);
        ini.WriteBool(kRemoteSection, "PublicMetrics", s.Remote.PublicMetrics);
        ini.Save(SettingsFile());
    } catch (const EFileError& e) {
        lastError_ = SettingsFile() + ": " + e.Message;
        return false;
    }
    return true;
}

}  // namespace tessora
