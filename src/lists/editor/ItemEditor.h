#pragma once
// The item editor "项目编辑": one item of a day list — a file, a folder or an external device,
// its times, title and memo — with a preview of a file on the preview sound card.

#include "EditorDialogs.h"
#include "PlayList.h"
#include "SettingsStore.h"

#include <QDialog>
#include <QFuture>

#include <cstdint>
#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSlider;
class QTabWidget;
class QTimer;
class QToolButton;

namespace tessora {

class TSoundMixer;
class TSoundMixerChannel;

class TfrmItemEditor : public QDialog {
    Q_OBJECT
public:
    // The preview plays on settings.PreviewDeviceID at settings.PreviewVolume; the volume bar
    // hands each new volume to `keepPreviewVolume`, which keeps it in the settings.
    using KeepPreviewVolume = std::function<void(int32_t volume)>;
    TfrmItemEditor(const SystemSettings& settings, EditorDialogs dialogs, KeepPreviewVolume keepPreviewVolume,
                   QWidget* parent = nullptr);
    ~TfrmItemEditor() override;

    PlayItem WorkItem;      // a new item: all zero but its Kind; in EditMode a copy of the item
    bool Cancelled = true;  // false once 确定 accepted the input
    bool EditMode = false;

    // True while the chosen file is being opened for the preview (off the GUI thread).
    bool OpeningFile() const { return opening_; }
    TSoundMixerChannel& PreviewChannel() { return *previewChannel_; }

    QTabWidget* ItemPage = nullptr;
    QWidget* tab1 = nullptr;
    QWidget* tab2 = nullptr;
    QWidget* tab3 = nullptr;
    QLineEdit* TxtTitle1 = nullptr;
    QLineEdit* TimeStart = nullptr;
    QLineEdit* TimeEnd = nullptr;
    QLineEdit* txtMemo = nullptr;
    QLineEdit* FileEditor = nullptr;
    QToolButton* FileButton = nullptr;
    QCheckBox* chkLoop = nullptr;
    QLineEdit* FolderEditor = nullptr;
    QToolButton* FolderButton = nullptr;
    QCheckBox* chkLoop1 = nullptr;
    QComboBox* PlaySequence = nullptr;
    QComboBox* cboDEvice = nullptr;
    QPushButton* tPlay = nullptr;
    QPushButton* tStop = nullptr;
    QSlider* tProgress = nullptr;
    QSlider* tVolume = nullptr;
    QPushButton* OkButton = nullptr;
    QPushButton* CancelButton = nullptr;
    QTimer* Timer1 = nullptr;

    // Event handlers, public so tests can drive them as the controls do.
    void FormShow();
    void SkinButton1Click();
    void SkinButton2Click();
    void FileEditorChange();
    void tPlayClick();
    void tStopClick();
    void tVolumeChange(int value);
    void Timer1Timer();
    void tProgressMouseDown();
    void tProgressMouseUp();
    void OnEndPlay();

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    QWidget* BuildFileTab();
    QWidget* BuildFolderTab();
    QWidget* BuildDeviceTab();
    void ShowOnlyTab(QWidget* tab);
    void ChooseFile();
    void ChooseFolder();
    void OpenFinished(const QString& path, const QString& error, bool setEndTime);
    void SetOpening(bool opening);
    bool HasPreviewFile() const;
    void StoreKindFields();
    void Message(const QString& text);
    // Runs a preview command; a failure of the sound card is shown, not thrown at the event loop.
    template <typename Command> void Preview(Command command);

    const SystemSettings& settings_;
    EditorDialogs dialogs_;
    KeepPreviewVolume keepPreviewVolume_;
    std::unique_ptr<TSoundMixer> previewMixer_;
    std::unique_ptr<TSoundMixerChannel> previewChannel_;
    QFuture<QString> openFuture_;
    bool opening_ = false;
    bool filling_ = false;  // FormShow is putting the stored item into the fields
    bool shown_ = false;
};

}  // namespace tessora
