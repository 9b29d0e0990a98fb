// The alarm heard through the virtual capture outputs: the real station, its main window and the
// alarm window offscreen, two channels following their timetables on outputs of their own.
#include "Alarm.h"
#include "AlarmTone.h"
#include "CaptureAnalysis.h"
#include "MainForm.h"
#include "PlayList.h"
#include "PlayerTestSupport.h"
#include "StationRun.h"

#include <QAction>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace tessora;

namespace {

class NoPowerOff : public PowerOff {
public:
    void Request() override {}
};

constexpr int64_t kSlackMs = 1500;  // a functional test on a busy machine, not a timing benchmark

void WaitUntil(int64_t unixMs) {
    while (QDateTime::currentMSecsSinceEpoch() < unixMs) QTest::qWait(50);
}

}  // namespace

class OverrideEndToEndTest : public QObject {
    Q_OBJECT

    QTemporaryDir root;
    QString Folder() const { return root.filePath("station") + "/"; }
    QString Capture() const { return root.filePath("capture"); }

    bool MakeTone(const QString& name, int hz) const {
        return StationRun::RunTool("sox", {"-q", "-n", "-r", "44100", "-c", "2", "-b", "16", Folder() + name, "synth", "3",
                                           "sine", QString::number(hz), "gain", "-6"});
    }
    // A looping item from a minute ago to five minutes from now.
    QString DayList(const QString& name, const QString& file) const {
        const QTime now = QTime::currentTime();
        PlayItem item;
        item.Index = 1;
        item.Title = name;
        item.StartTime = double(now.addSecs(-60).msecsSinceStartOfDay()) / 86400000.0;
        item.EndTime = double(now.addSecs(300).msecsSinceStartOfDay()) / 86400000.0;
        item.Kind = KindFile;
        item.Source = Folder() + file;
        item.Loop = 1;
        TPlayList list;
        list.Items = {item};
        return list.SaveToFile(Folder() + name);
    }

private slots:
    void initTestCase() {
        QVERIFY(QDir().mkpath(Folder()) && QDir().mkpath(Capture()));
        // Before any sound device is opened: the outputs are chosen once.
        qputenv("TESSORA_AUDIO", ("capture:" + Capture()).toUtf8());
        qputenv("TESSORA_AUDIO_DEVICES", "3");
    }

    void alarmSoundsEverywhereRepeatsSeamlesslyAndTheTimetablesResume() {
        const QTime now = QTime::currentTime();
        if (now < QTime(0, 2) || now > QTime(23, 54)) QSKIP("too close to midnight for a day list");
        const std::vector<uint8_t> alarm = AlarmTone::WavFile();
        QFile alarmFile(Folder() + "alarm.wav");
        QVERIFY(alarmFile.open(QIODevice::WriteOnly));
        alarmFile.write(reinterpret_cast<const char*>(alarm.data()), qint64(alarm.size()));
        alarmFile.close();
        // Tones well below the siren's 600..1200 Hz.
        QVERIFY(MakeTone("a440.wav", 440));
        QVERIFY(MakeTone("b300.wav", 300));
        std::vector<ChannelConfig> configs(2);
        configs[0].Title = "一号";
        configs[0].SoundCard = 1;
        configs[0].DayListFile = DayList("one", "a440.wav");
        configs[1].Title = "二号";
        configs[1].SoundCard = 2;
        configs[1].DayListFile = DayList("two", "b300.wav");
        TChannelFile().SaveChannels(Folder() + "tessora.cfg", configs);

        test::NoPasswords passwords;
        TStation station(Folder(), passwords, MixerChannelFactory());
        MainWindowServices services;
        services.askPassword = [](QWidget*, const QString&) { return true; };
        services.showMessage = [](QWidget*, const QString& text) { qWarning("message: %s", qPrintable(text)); };
        services.tellBeforeClosing = services.showMessage;
        services.chooseFile = [](QWidget*, const QString&, const QString&) { return QString(); };
        services.screenGrab = MakeQtScreenGrab;
        services.powerOff = std::make_unique<NoPowerOff>();
        services.editorDialogs.showMessage = services.showMessage;
        auto window = std::make_unique<TfrmMain>(station, std::move(services));
        window->resize(1024, 700);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));

        const int64_t started = QDateTime::currentMSecsSinceEpoch();
        WaitUntil(started + 3000);
        QAction* entry = nullptr;
        for (QAction* menu : window->menuBar()->actions())
            if (menu->text() == "播放")
                for (QAction* a : menu->menu()->actions())
                    if (a->text() == "告警") entry = a;
        QVERIFY(entry);
        const int64_t opened = QDateTime::currentMSecsSinceEpoch();
        entry->trigger();
        auto* alarmWindow = qobject_cast<TFormAlarm*>(window->OverrideWindow());
        QVERIFY(alarmWindow);
        WaitUntil(opened + 8000);  // four times round the two-second recording
        const int64_t closed = QDateTime::currentMSecsSinceEpoch();
        alarmWindow->btnExit->click();
        WaitUntil(closed + 4000);
        const int64_t ended = QDateTime::currentMSecsSinceEpoch();
        window.reset();
        station.StopAllPlayers();

        const struct { const char* output; double tone; } channels[] = {{"/device-1", 440}, {"/device-2", 300}};
        for (const auto& c : channels) {
            const auto heard = CaptureTimeline::Load(Capture() + c.output);
            QVERIFY2(heard, c.output);
            QVERIFY2(heard->Sounds(c.tone, started + 1500, opened), "the timetable did not play before the alarm");
            // The alarm replaces the timetable from the first tick on, and sounds without a gap
            // of even 20 ms from then until the window closes, over three joints of the loop.
            QVERIFY2(!heard->Sounds(c.tone, opened + kSlackMs, closed), "the timetable went on under the alarm");
            QVERIFY2(heard->QuietestPeak(opened + kSlackMs, closed - 100, 20) > 4000, "the alarm has a gap");
            // Closed: the timetable's item again at its next tick.
            const auto back = heard->FirstSound(c.tone, closed, ended);
            QVERIFY2(back && *back <= closed + kSlackMs, "the timetable did not resume after the alarm");
            QVERIFY(heard->Sounds(c.tone, closed + kSlackMs, ended - 200));
        }
    }
};

QTEST_MAIN(OverrideEndToEndTest)
#include "OverrideEndToEndTest.moc"
