#pragma once
// The system settings dialog: four pages of settings, taken all together by "确定" or not at
// all. It works on a copy; the caller applies the result.

#include "SettingsForm.h"

#include <QDialog>
#include <QStringList>

#include <functional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace tessora {

// The time field's edit mask: hours of one or two digits, then two-digit minutes and seconds.
inline const QString kShutDownTimeMask = QStringLiteral("!90:00:00;1; ");

class TFormPlayerSetting : public QDialog {
    Q_OBJECT
public:
    // A folder dialog starting at `folder`; an empty answer is a cancel.
    using FolderChooser = std::function<QString(QWidget* parent, const QString& folder)>;
    // A message box the operator acknowledges.
    using MessageShower = std::function<void(QWidget* parent, const QString& text)>;

    TFormPlayerSetting(FolderChooser chooseFolder, MessageShower showMessage, QWidget* parent = nullptr);

    // Fills the controls from `settings`, and the sound card list with the outputs' names (index 0
    // the default output).
    void Load(const SystemSettings& settings, const QStringList& outputNames);
    // The settings "确定" took; valid once the dialog was accepted.
    const SystemSettings& Result() const { return result_; }

    SettingsFormFields Fields() const;

    QTabWidget* Pages = nullptr;
    QCheckBox* chkShowSystemName = nullptr;
    QLineEdit* EditSystemName = nullptr;
    QCheckBox* chkAutoShutDown = nullptr;
    QLineEdit* editShutDownTime = nullptr;
    QLineEdit* EditPass = nullptr;
    QCheckBox* chkCheckPass = nullptr;
    QLineEdit* DirMusic = nullptr;
    QLineEdit* DirList = nullptr;
    QLineEdit* DirTemplate = nullptr;
    QLineEdit* EditInterval = nullptr;
    QComboBox* cboCard = nullptr;
    QCheckBox* chkRemote = nullptr;      // 远程: the HTTP server for the LAN
    QLineEdit* EditRemoteAddress = nullptr;
    QLineEdit* EditRemotePort = nullptr;
    QPushButton* SkinButton3 = nullptr;  // 确定
    QPushButton* SkinButton6 = nullptr;  // 取消

private:
    QWidget* BuildSystemPage();
    QWidget* BuildSecurityPage();
    QWidget* BuildFoldersPage();
    QWidget* BuildPlayPage();
    QWidget* BuildRemotePage();
    QLineEdit* AddFolderField(QWidget* page, const QString& name, const QString& label, int top);
    void SetFields(const SettingsFormFields& fields);
    void SkinButton3Click();

    FolderChooser chooseFolder_;
    MessageShower showMessage_;
    SystemSettings current_;
    SystemSettings result_;
};

}  // namespace tessora
