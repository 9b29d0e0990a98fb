#pragma once
// The channel configuration dialog: adds, removes and edits channels on a working copy. It never
// touches a player: what it changes reaches the channels through the commands it is given.

#include "ChannelWorkList.h"

#include <QDialog>
#include <QStringList>

#include <functional>

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace tessora {

inline const QString kRestartMessage =
    QStringLiteral("修改音源配置，需要重新启动程序后才能够生效，请重新启动程序！");

struct PlayerConfigCommands {
    // Edits stored by selecting another entry reach the running channel at once.
    std::function<void(const ChannelEntry& entry)> storeChannel;
    // Confirmation: stop every channel, replace them by `entries` and write the channel file.
    // An empty answer is success; otherwise the text of the failure.
    std::function<QString(const std::vector<ChannelEntry>& entries)> replaceChannels;
    // A message with OK and Cancel, either of which just closes it.
    std::function<void(QWidget* parent, const QString& text)> inform;
    // A message with one OK button.
    std::function<void(QWidget* parent, const QString& text)> tell;
};

class TFormPlayerConfig : public QDialog {
    Q_OBJECT
public:
    explicit TFormPlayerConfig(PlayerConfigCommands commands, QWidget* parent = nullptr);

    // The dialog opens on the running channels, in channel order, and the outputs' names (index 0
    // the default output). The edit fields keep what they held.
    void Load(std::vector<ChannelEntry> channels, const QStringList& outputNames);

    const TChannelWorkList& WorkList() const { return workList_; }

    QListWidget* lstPlayer = nullptr;
    QLineEdit* txtPlayerTitle = nullptr;
    QComboBox* cboCard = nullptr;
    QLineEdit* txtPlayerMemo = nullptr;
    QPushButton* btnAdd = nullptr;
    QPushButton* btnDelete = nullptr;
    QPushButton* btnConfirm = nullptr;
    QPushButton* btnCancel = nullptr;

private:
    ChannelFields Fields() const;
    void ShowFields(const ChannelFields& fields);
    void ShowTitles();
    void SelectRow(int row);
    void AddClick();
    void DeleteClick();
    void ConfirmClick();
    // Refused fields: the message, and the list goes back to the entry still being edited.
    void Refuse(ChannelFieldProblem problem);

    PlayerConfigCommands commands_;
    TChannelWorkList workList_;
};

}  // namespace tessora
