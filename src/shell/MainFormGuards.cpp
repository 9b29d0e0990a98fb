// The main window's guarded commands: the channel configuration and system settings dialogs
// behind the administrator password, and the screen lock. They act on the channels and the
// settings through the station's commands.
#include "FileError.h"
#include "MainForm.h"
#include "PlayerConfig.h"
#include "PlayerSetting.h"
#include "Unit5.h"

namespace tessora {

void TfrmMain::CreateDialogs() {
    PlayerConfigCommands commands;
    commands.storeChannel = [this](const ChannelEntry& entry) {
        const ChannelConfig& c = entry.Channel.Config;
        station_.SetChannelFields(entry.Origin, c.Title, c.SoundCard, entry.Memo);
    };
    commands.replaceChannels = [this](const std::vector<ChannelEntry>& entries) { return ReplaceChannels(entries); };
    commands.inform = services_.inform;
    commands.tell = services_.tell;
    // The lock window and the channel configuration keep the skin of the start: without a
    // parent, so that the main window's style sheet does not reach into them; the window
    // deletes them itself.
    FormPlayerConfig = new TFormPlayerConfig(std::move(commands), nullptr);
    Form5 = new TForm5([this] { return station_.Settings().Password; }, services_.screenGrab(), nullptr);
    skins_->Follow(FormPlayerConfig, TSkinSet::Follows::Start);
    skins_->Follow(Form5, TSkinSet::Follows::Start);
    FormPlayerSetting = new TFormPlayerSetting(services_.chooseFolder, services_.tell, this);
    // The style sheet reaches a child dialog, the palette does not: without it a dark skin's
    // light text would stand on the platform's white fields.
    skins_->Follow(FormPlayerSetting, TSkinSet::Follows::Current);
}

void TfrmMain::ChannelConfigCommand() {
    if (!services_.askPassword(this, station_.Settings().Password)) return;
    FormPlayerConfig->Load(ChannelEntries(), services_.outputNames());
    const bool confirmed = FormPlayerConfig->exec() == QDialog::Accepted;
    // A confirmed change takes effect at the next start: the program asks to end. If the exit
    // question is refused, the new set starts now, each channel with one panel and one sound
    // channel; after a cancel every channel plays on as it was (running ones are left alone).
    if (confirmed && close()) return;
    station_.StartChannels();
}

void TfrmMain::SystemSettingsCommand() {
    if (!services_.askPassword(this, station_.Settings().Password)) return;
    FormPlayerSetting->Load(station_.Settings(), services_.outputNames());
    if (FormPlayerSetting->exec() == QDialog::Accepted) station_.ApplySettings(FormPlayerSetting->Result());
}

void TfrmMain::LockCommand() { Form5->exec(); }

std::vector<ChannelEntry> TfrmMain::ChannelEntries() const {
    std::vector<ChannelEntry> entries;
    for (int i = 0; i < station_.ChannelCount(); ++i) {
        const TListPlayer* channel = station_.Channel(i);
        entries.push_back({LoadedChannel{channel->Config(), channel->PeriodicList}, channel->Memo, i});
    }
    return entries;
}

QString TfrmMain::ReplaceChannels(const std::vector<ChannelEntry>& entries) {
    // A running channel goes on with what it has now (its list, volume and state may have moved
    // on while the dialog was open); an added one with what the dialog made.
    std::vector<ChannelConfig> configs;
    QStringList memos;
    for (const ChannelEntry& entry : entries) {
        const TListPlayer* running = entry.Origin >= 0 ? station_.Channel(entry.Origin) : nullptr;
        configs.push_back(running ? running->Config() : entry.Channel.Config);
        memos << (running ? running->Memo : entry.Memo);
    }
    station_.ReplaceChannels(configs, memos);
    try {
        station_.SaveChannels();
    } catch (const EFileError& e) {
        return e.Path + ": " + e.Message;
    }
    return {};
}

}  // namespace tessora
