// The item editor offscreen: its messages in order, the end time from a file's length, and the
// preview heard through a virtual capture output.
#include "CaptureFile.h"
#include "DateTimeValue.h"
#include "EditorTestSupport.h"
#include "ItemEditor.h"
#include "SoundMixer.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <sys/stat.h>

#include <cmath>
#include <limits>

using namespace tessora;
using namespace tessora::test;

namespace {

constexpr int kPreviewDevice = 2;  // not the default output, so the capture is the preview's alone

}  // namespace

class ItemEditorTest : public QObject {
    Q_OBJECT
public:
    QString captureDir;

private:
    QTemporaryDir dir_;
    QString longFile_;  // 3 min 20.5 s

    std::unique_ptr<TfrmItemEditor> Editor(SystemSettings& settings, FakeDialogs& fakes, PlayKind kind) {
        auto editor = std::make_unique<TfrmItemEditor>(settings, fakes.Dialogs(), KeepIn(settings));
        editor->WorkItem.Kind = kind;
        editor->show();
        return editor;
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        longFile_ = WriteLevelWav(dir_.filePath("long.wav"), 200500);
    }

    void showsOnlyTheTabOfTheKind() {
        SystemSettings settings;
        FakeDialogs fakes;
        struct Case { PlayKind kind; int tab; };
        for (const Case c : {Case{KindFile, 0}, Case{KindFolder, 1}, Case{KindDevice, 2}}) {
            auto editor = Editor(settings, fakes, c.kind);
            for (int tab = 0; tab < 3; ++tab) QCOMPARE(editor->ItemPage->isTabVisible(tab), tab == c.tab);
            QCOMPARE(editor->ItemPage->currentIndex(), c.tab);
            QCOMPARE(editor->TimeStart->text(), QString("00:00:00"));
        }
    }

    void confirmShowsEachMessageInOrder() {
        SystemSettings settings;
        struct Case { QString start, end, title, memo, folder; QString message; };
        const Case cases[] = {
            {"", "08:00:00", "", "", "/srv/music", "日期输入不正确"},
            {"25:00:00", "08:00:00", "", "", "/srv/music", "日期输入不正确"},
            {"08:00:00", "08:00:00", "", "", "/srv/music", "开始日期必须在结束日期之前"},
            {"09:00:00", "08:00:00", "", "", "", "开始日期必须在结束日期之前"},
            {"08:00:00", "08:00:30", "", "", "", "请选择播放内容"},
            {"08:00:00", "08:00:30", QString("铃").repeated(25) + "x", "", "/srv/music", "节目名称过长（最多50字节）"},
            {"08:00:00", "08:00:30", "", QString("备").repeated(128), "/srv/music", "备注过长（最多255字节）"},
            {"08:00:00", "08:00:30", QString::fromUtf8("\xF0\x9F\x94\x94"), "", "/srv/music", "含有无法保存的字符"},
        };
        for (const Case& c : cases) {
            FakeDialogs fakes;
            auto editor = Editor(settings, fakes, KindFolder);
            editor->TimeStart->setText(c.start);
            editor->TimeEnd->setText(c.end);
            editor->TxtTitle1->setText(c.title);
            editor->txtMemo->setText(c.memo);
            editor->FolderEditor->setText(c.folder);
            editor->SkinButton1Click();
            QCOMPARE(fakes.messages, QStringList{c.message});
            QVERIFY(editor->Cancelled);
            QVERIFY(editor->isVisible());
        }
    }

    void confirmFillsTheItemOfEachKind() {
        SystemSettings settings;
        FakeDialogs fakes;
        fakes.folderAnswers << "/srv/music/tunes/";
        auto folder = Editor(settings, fakes, KindFolder);
        folder->TimeStart->setText("7:05:00");
        folder->TimeEnd->setText("07:30:00");
        folder->TxtTitle1->setText("早操");
        folder->txtMemo->setText("操场");
        folder->FolderButton->click();
        folder->PlaySequence->setCurrentIndex(1);
        folder->chkLoop1->setChecked(true);
        folder->OkButton->click();
        QVERIFY(!folder->Cancelled);
        QCOMPARE(folder->WorkItem.Source, QString("/srv/music/tunes"));
        QCOMPARE(folder->WorkItem.Kind, uint8_t(KindFolder));
        QCOMPARE(FormatTimeOfDay(folder->WorkItem.StartTime), QString("07:05:00"));
        QCOMPARE(folder->WorkItem.PlayOrder, 1);
        QCOMPARE(folder->WorkItem.Loop, uint8_t(1));
        QCOMPARE(folder->WorkItem.Title, QString("早操"));
        QCOMPARE(folder->WorkItem.Memo, QString("操场"));

        auto device = Editor(settings, fakes, KindDevice);
        device->TimeEnd->setText("00:10:00");
        device->cboDEvice->setCurrentIndex(2);
        device->OkButton->click();
        QVERIFY(!device->Cancelled);
        QCOMPARE(device->WorkItem.Source, QString("收音机"));
        QCOMPARE(device->WorkItem.DeviceIndex, 2);
        QVERIFY(fakes.messages.isEmpty());
    }

    void editModeShowsTheStoredItemOrSaysItsTimesAreBad() {
        SystemSettings settings;
        settings.PreviewVolume = -2500;
        FakeDialogs fakes;
        TfrmItemEditor editor(settings, fakes.Dialogs(), KeepIn(settings));
        editor.EditMode = true;
        editor.WorkItem.Kind = KindDevice;
        editor.WorkItem.Source = "CD";
        editor.WorkItem.DeviceIndex = 1;
        editor.WorkItem.StartTime = 45000.0 + TimeValue(19, 0, 0);  // a date part is ignored
        editor.WorkItem.EndTime = TimeValue(19, 30, 0);
        editor.WorkItem.Title = "晚自习";
        editor.show();
        QCOMPARE(editor.TimeStart->text(), QString("19:00:00"));
        QCOMPARE(editor.TimeEnd->text(), QString("19:30:00"));
        QCOMPARE(editor.TxtTitle1->text(), QString("晚自习"));
        QCOMPARE(editor.cboDEvice->currentText(), QString("CD"));
        QCOMPARE(editor.tVolume->value(), 7500);
        QVERIFY(fakes.messages.isEmpty());

        TfrmItemEditor bad(settings, fakes.Dialogs(), KeepIn(settings));
        bad.EditMode = true;
        bad.WorkItem.Kind = KindDevice;
        bad.WorkItem.Source = "CD";
        bad.WorkItem.StartTime = std::numeric_limits<double>::quiet_NaN();
        bad.WorkItem.Title = "x";
        bad.show();
        QCOMPARE(fakes.messages, QStringList{"日期输入不正确"});
        QCOMPARE(bad.TxtTitle1->text(), QString());
    }

    void aChosenFileSetsTheEndTimeFromItsLength() {
        SystemSettings settings;
        FakeDialogs fakes;
        fakes.fileAnswers << longFile_;
        auto editor = Editor(settings, fakes, KindFile);
        editor->TimeStart->setText("07:58:00");
        editor->FileButton->click();
        QVERIFY(WaitUntil([&] { return !editor->OpeningFile(); }));
        QCOMPARE(editor->FileEditor->text(), longFile_);
        QCOMPARE(editor->TimeEnd->text(), QString("08:01:20"));
        QVERIFY(fakes.messages.isEmpty());
        QVERIFY(fakes.asked.at(0).contains("*.mp3"));
    }

    void aFileThatCannotBeOpenedIsRefused() {
        SystemSettings settings;
        QVERIFY(mkfifo(dir_.filePath("pipe.wav").toLocal8Bit().constData(), 0600) == 0);
        QFile text(dir_.filePath("notes.wav"));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("not a sound");
        text.close();
        for (const char* name : {"missing.wav", "pipe.wav", "notes.wav"}) {
            FakeDialogs fakes;
            fakes.fileAnswers << dir_.filePath(name);
            auto editor = Editor(settings, fakes, KindFile);
            editor->FileButton->click();
            // A FIFO is refused before it is opened, so this never hangs.
            QVERIFY(WaitUntil([&] { return !editor->OpeningFile() && editor->FileEditor->text().isEmpty(); }));
            QCOMPARE(fakes.messages, QStringList{"文件无效"});
            QCOMPARE(editor->TimeEnd->text(), QString("00:00:00"));
        }
    }

    void anExistingItemKeepsItsEndTimeButAMissingFileIsSaidAtOnce() {
        SystemSettings settings;
        for (const QString& source : {longFile_, dir_.filePath("gone.wav")}) {
            FakeDialogs fakes;
            TfrmItemEditor editor(settings, fakes.Dialogs(), KeepIn(settings));
            editor.EditMode = true;
            editor.WorkItem.Kind = KindFile;
            editor.WorkItem.Source = source;
            editor.WorkItem.StartTime = TimeValue(8, 0, 0);
            editor.WorkItem.EndTime = TimeValue(8, 0, 30);
            editor.show();
            QVERIFY(WaitUntil([&] { return !editor.OpeningFile(); }));
            QCOMPARE(editor.TimeEnd->text(), QString("08:00:30"));
            const bool gone = source.endsWith("gone.wav");
            QCOMPARE(fakes.messages, gone ? QStringList{"文件无效"} : QStringList{});
            QCOMPARE(editor.FileEditor->text(), gone ? QString() : source);
        }
    }

    void previewPausesOnPressAndPlaysFromWhereTheBarIsReleased() {
        SystemSettings settings;
        settings.PreviewDeviceID = kPreviewDevice;
        settings.PreviewVolume = 0;
        FakeDialogs fakes;
        fakes.fileAnswers << longFile_;
        auto editor = Editor(settings, fakes, KindFile);
        editor->FileButton->click();
        QVERIFY(WaitUntil([&] { return !editor->OpeningFile(); }));
        QCOMPARE(editor->tProgress->value(), 50);

        editor->tPlay->click();
        QCOMPARE(editor->PreviewChannel().State(), TSoundMixerChannel::Playing);
        QCOMPARE(editor->tProgress->maximum(), 200500);
        QTest::qWait(1200);
        editor->Timer1Timer();
        QVERIFY(editor->tProgress->value() > 500);

        editor->tProgressMouseDown();
        QCOMPARE(editor->PreviewChannel().State(), TSoundMixerChannel::Paused);
        const uint32_t pausedAt = editor->PreviewChannel().Position();
        QTest::qWait(800);
        QCOMPARE(editor->PreviewChannel().Position(), pausedAt);

        editor->tProgress->setValue(120000);
        editor->tProgressMouseUp();
        QCOMPARE(editor->PreviewChannel().State(), TSoundMixerChannel::Playing);
        QTest::qWait(1500);
        editor->Timer1Timer();
        QVERIFY2(editor->tProgress->value() >= 120000 && editor->tProgress->value() < 125000,
                 qPrintable(QString::number(editor->tProgress->value())));

        // The volume bar at its minimum silences the preview and is kept in the settings.
        editor->tVolume->setValue(0);
        QCOMPARE(settings.PreviewVolume, -10000);
        QCOMPARE(editor->PreviewChannel().Volume(), -10000);

        // Closing the dialog ends the preview.
        editor->CancelButton->click();
        QCOMPARE(editor->PreviewChannel().State(), TSoundMixerChannel::Stopped);
        editor.reset();

        // What the preview output played: the start, nothing while paused, then from 2 minutes on.
        const auto capture = ReadCaptureFile(QString("%1/device-%2").arg(captureDir).arg(kPreviewDevice));
        QVERIFY(capture);
        // Blocks heard for a while; the resampler's ramps between levels pass in a frame or two.
        std::vector<int64_t> blocks;
        int64_t current = -1;
        size_t run = 0;
        for (size_t frame = 0; frame < capture->Frames(); ++frame) {
            const int64_t block = BlockOfLevel(capture->samples[frame * capture->channels]);
            run = block == current ? run + 1 : 1;
            current = block;
            if (run == 50 && block >= 0) blocks.push_back(block);
        }
        QVERIFY(!blocks.empty());
        QCOMPARE(blocks.front(), int64_t(0));
        const auto jump = std::find_if(blocks.begin(), blocks.end(), [](int64_t b) { return b >= 1200; });
        QVERIFY(jump != blocks.end());
        QVERIFY(*jump <= 1202);
        QVERIFY2(*(jump - 1) < 40, qPrintable(QString::number(*(jump - 1))));  // nothing between
    }
};

int main(int argc, char** argv) {
    QTemporaryDir captures;
    qputenv("TESSORA_AUDIO", ("capture:" + captures.path()).toUtf8());
    qputenv("TESSORA_AUDIO_DEVICES", "4");
    QApplication app(argc, argv);
    ItemEditorTest test;
    test.captureDir = captures.path();
    return QTest::qExec(&test, argc, argv);
}

#include "item_editor_test.moc"
