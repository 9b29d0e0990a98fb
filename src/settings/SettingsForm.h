#pragma once
// The rules of the system settings dialog, apart from its widgets: what its controls show for a
// set of settings, and the settings its controls give. Every field is checked before any is
// taken, so a refused "确定" changes nothing.

#include "SettingsStore.h"

#include <QString>

#include <optional>

namespace tessora {

// The controls' contents, as shown and as typed.
struct SettingsFormFields {
    bool ShowSystemName = false;
    QString SystemName;
    bool AutoShutDown = false;
    QString ShutDownTime;  // "hh:mm:ss"; hours may be one digit, led by a blank
    QString Password;
    bool CheckPassOnInOut = false;
    QString MusicDirectory;
    QString ListDirectory;
    QString TemplateDirectory;
    QString PlayingInterval;  // free text, a decimal integer
    int PreviewDevice = -1;   // the position chosen in the sound card list, -1 for none
    // The HTTP server for the LAN ("远程" page).
    bool RemoteEnabled = false;
    QString RemoteAddress = RemoteSettings().Address;
    QString RemotePort = QString::number(RemoteSettings().Port);  // free text, 1..65535

    bool operator==(const SettingsFormFields&) const = default;
};

// What the controls show when the dialog opens.
SettingsFormFields FieldsFromSettings(const SystemSettings& settings);

struct SettingsFormResult {
    std::optional<SystemSettings> Settings;  // when every field is valid
    QString Error;                           // the message for the first invalid field otherwise
};

// An IPv4 address in dotted form, or an IPv6 address: what the HTTP server can listen on.
bool IsListenAddress(const QString& text);

// `current` supplies what the dialog does not edit (view options, preview volume).
SettingsFormResult SettingsFromFields(const SettingsFormFields& fields, const SystemSettings& current);

}  // namespace tessora
