#include "SettingsForm.h"

#include "DateTimeValue.h"
#include "GbkText.h"
#include "ItemCheck.h"

#include <QRegularExpression>

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

bool IsListenAddress(const QString& text) {
    static const QRegularExpression ipv4(QStringLiteral("^(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})$"));
    static const QRegularExpression ipv6(QStringLiteral("^[0-9A-Fa-f:.]*:[0-9A-Fa-f:.]*$"));
    const QRegularExpressionMatch m = ipv4.match(text);
    if (m.hasMatch()) {
        for (int i = 1; i <= 4; ++i)
            if (m.captured(i).toInt() > 255) return false;
        return true;
    }
    return ipv6.match(text).hasMatch() && text.count(QStringLiteral("::")) <= 1;
}

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
    f.RemoteEnabled = s.Remote.Enabled;
    f.RemoteAddress = s.Remote.Address;
    f.RemotePort = QString::number(s.Remote.Port);
    return f;
}

SettingsFormResult SettingsFromFields(const SettingsFormFields& f, const SystemSettings& current) {
    const std::optional<double> time = ParseShutDownTime(f.ShutDownTime);
    if (!time) return {std::nullopt, QStringLiteral("“%1”不是有效的时间（时:分:秒，如 17:00:00）").arg(f.ShutDownTime)};
    const std::optional<int32_t> interval = ParseInteger(f.PlayingInterval);
    if (!interval) return {std::nullopt, QStringLiteral("“%1”不是有效的整数").arg(f.PlayingInterval)};
    if (!StorableInSettingsFile(f)) return {std::nullopt, ItemProblemText(ItemProblem::NotGbk).Chinese};
    const QString address = f.RemoteAddress.trimmed();
    if (!IsListenAddress(address)) return {std::nullopt, QString("远程地址 '%1' 不是IP地址").arg(f.RemoteAddress)};
    const std::optional<int32_t> port = ParseInteger(f.RemotePort);
    if (!port || *port < 1 || *port > 65535) return {std::nullopt, QString("远程端口 '%1' 应为1到65535").arg(f.RemotePort)};

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
    s.Remote.Enabled = f.RemoteEnabled;
    s.Remote.Address = address;
    s.Remote.Port = *port;
    return {s, {}};
}

}  // namespace tessora
