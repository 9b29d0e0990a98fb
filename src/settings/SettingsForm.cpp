#include "SettingsForm.h"

#include "DateTimeValue.h"
#include "GbkText.h"
#include "ItemCheck.h"

namespace tessora {

namespace {

// The time field keeps the hour's unused digit as a blank on either side of it ("7 :30:00" or
// " 7:30:00"); a blank anywhere else leaves the time unfinished.
std::optional<double> ParseShutDownTime(const QString& text) {
    const qsizetype colon = text.indexOf(':');
    if (colon < 0) return std::nullopt;
    return ParseTimeOfDay(text.left(colon).trimmed() + text.mid(colon));
}

std::optional<int32_t> ParseInteger(const QString& text) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok) return std::nullopt;
    return value;
}

// The settings file is GBK: a character it cannot hold would come back as "?" and, in a
// folder, name another folder.
bool StorableInSettingsFile(const SettingsFormFields& f) {
    return FitsGbk(f.SystemName) && FitsGbk(f.MusicDirectory) && FitsGbk(f.ListDirectory) &&
           FitsGbk(f.TemplateDirectory);
}

}  // namespace

SettingsFormFields FieldsFromSettings(const SystemSettings& s) {
    SettingsFormFields f;
    f.ShowSystemName = s.ShowSystemName;
    f.SystemName = s.SystemName;
    f.AutoShutDown = s.AutoShutDown;
    f.ShutDownTime = FormatTimeOfDay(s.AutoShutDownTime);
    f.Password = s.Password;
    f.CheckPassOnInOut = s.CheckPassOnInOut;
    f.MusicDirectory = s.MusicDirectory;
    f.ListDirectory = s.ListDirectory;
    f.TemplateDirectory = s.TemplateDirectory;
    f.PlayingInterval = QString::number(s.PlayingInterval);
    f.PreviewDevice = s.PreviewDeviceID;
    return f;
}

SettingsFormResult SettingsFromFields(const SettingsFormFields& f, const SystemSettings& current) {
    const std::optional<double> time = ParseShutDownTime(f.ShutDownTime);
    if (!time) return {std::nullopt, QStringLiteral("“%1”不是有效的时间（时:分:秒，如 17:00:00）").arg(f.ShutDownTime)};
    const std::optional<int32_t> interval = ParseInteger(f.PlayingInterval);
    if (!interval) return {std::nullopt, QStringLiteral("“%1”不是有效的整数").arg(f.PlayingInterval)};
    if (!StorableInSettingsFile(f)) return {std::nullopt, ItemProblemText(ItemProblem::NotGbk).Chinese};

    SystemSettings s = current;
    s.Password = f.Password;
    s.AutoShutDown = f.AutoShutDown;
    s.AutoShutDownTime = *time;
    s.ShowSystemName = f.ShowSystemName;
    s.SystemName = f.SystemName;
    s.CheckPassOnInOut = f.CheckPassOnInOut;
    s.MusicDirectory = f.MusicDirectory;
    s.ListDirectory = f.ListDirectory;
    s.TemplateDirectory = f.TemplateDirectory;
    s.PlayingInterval = *interval;
    s.PreviewDeviceID = f.PreviewDevice;
    return {s, {}};
}

}  // namespace tessora
