// The all-call and alarm windows offscreen, against channels that record their commands.
#include "Alarm.h"
#include "FakeBroadcastChannels.h"
#include "MultiAreaPlay.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

#include <functional>

using namespace tessora;
using tessora::test::FakeBroadcastChannels;

class BroadcastWindowsTest : public QObject {
    Q_OBJECT

    QString chosen;  // what the next file dialog answers
    QString askedFolder;

    std::unique_ptr<TFormMultiArea> AllCall(FakeBroadcastChannels& channels) {
        auto window = std::make_unique<TFormMultiArea>(channels, "/music", [this](QWidget*, const QString& folder, const QString&) {
            askedFolder = folder;
            return chosen;
        });
        window->show();
        return window;
    }

private slots:
    void checkBoxesStayInsideThePanel_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("scrolls");
        QTest::newRow("one") << 1 << false;
        QTest::newRow("sixteen") << 16 << false;
        QTest::newRow("twenty") << 20 << true;
    }
    void checkBoxesStayInsideThePanel() {
        QFETCH(int, count);
        QFETCH(bool, scrolls);
        FakeBroadcastChannels channels(count);
        auto window = AllCall(channels);
        TChannelChecks* checks = window->Checks();
        QCOMPARE(checks->size(), QSize(465, 113));
        QCOMPARE(checks->BoxCount(), count);
        const QRect inside = checks->widget()->rect();
        for (int i = 0; i < count; ++i) {
            QCheckBox* box = checks->Box(i);
            QVERIFY2(inside.contains(box->geometry()), qPrintable(QString::number(i)));
            QCOMPARE(box->text(), channels.ChannelTitle(i));
            QVERIFY(!box->isChecked());
            for (int j = 0; j < i; ++j) QVERIFY(!box->geometry().intersects(checks->Box(j)->geometry()));
        }
        QCOMPARE(checks->verticalScrollBar()->maximum() > 0, scrolls);
        QVERIFY(channels.log.isEmpty());  // showing takes nothing over
    }

    void allCallTakesCheckedChannelsWithTheChosenFile() {
        FakeBroadcastChannels channels(3);
        auto window = AllCall(channels);
        QCOMPARE(window->windowTitle(), QString("全呼广播"));
        QCOMPARE(window->tCurFile->text(), QString("当前曲目"));
        window->Checks()->Box(0)->click();
        QCOMPARE(channels.log, QStringList({"take 0  once"}));  // no file yet: silent

        chosen.clear();  // a cancelled dialog changes nothing
        window->tOpen->click();
        QCOMPARE(askedFolder, QString("/music"));
        QCOMPARE(window->tCurFile->text(), QString("当前曲目"));

        chosen = "/music/全校通知.mp3";
        window->tOpen->click();
        QCOMPARE(window->tCurFile->text(), chosen);
        QCOMPARE(channels.channels[0].file, chosen);
        window->Checks()->Box(2)->click();
        QCOMPARE(channels.channels[2].file, chosen);
        QVERIFY(!channels.channels[1].taken);

        window->Checks()->Box(0)->click();
        QVERIFY(!channels.channels[0].taken);
        QCOMPARE(channels.log.last(), QString("give 0"));
    }

    void allCallPlayAndStopButtons() {
        FakeBroadcastChannels channels(2);
        channels.channels[1].state = PlayStopped;
        auto window = AllCall(channels);
        QCOMPARE(window->tPlay->text(), QString(">"));
        QCOMPARE(window->tStop->text(), QString("■"));
        QCOMPARE(window->tStop->toolTip(), QString("停止"));
        window->Checks()->Box(0)->click();
        window->Checks()->Box(1)->click();

        window->tPlay->click();  // pauses the first, starts the second
        QCOMPARE(channels.channels[0].state, PlayPaused);
        QCOMPARE(channels.channels[1].state, PlayOn);
        QCOMPARE(window->tPlay->text(), QString("||"));
        QCOMPARE(window->tPlay->toolTip(), QString("暂停播放"));

        window->tStop->click();
        QCOMPARE(channels.channels[0].state, PlayStopped);
        QCOMPARE(channels.channels[1].state, PlayStopped);
        QCOMPARE(window->tStop->text(), QString("■"));
        QCOMPARE(window->tPlay->text(), QString(">"));
        QCOMPARE(window->tPlay->toolTip(), QString("恢复播放"));

        channels.log.clear();  // all stopped already: nothing to do
        window->tStop->click();
        QVERIFY(channels.log.isEmpty());
        QCOMPARE(window->tStop->text(), QString("■"));

        window->tPlay->click();
        QCOMPARE(window->tPlay->text(), QString("||"));
    }

    // What an operator meets: the file is chosen and the call already sounds, so the play button
    // must offer the pause, not the play; at every step it shows what the checked channels do.
    void allCallButtonsShowTheCheckedChannelsThroughATakeOver() {
        FakeBroadcastChannels channels(3);
        channels.channels[2].state = PlayPaused;
        auto window = AllCall(channels);
        struct Step {
            const char* what;
            std::function<void()> act;
            QString caption;
        };
        const std::vector<Step> steps = {
            {"nothing checked", [] {}, ">"},
            {"the paused channel checked", [&] { window->Checks()->Box(2)->click(); }, ">"},
            {"a playing channel checked", [&] { window->Checks()->Box(0)->click(); }, "||"},
            {"the file chosen: the call sounds", [&] {
                 chosen = "/music/call.mp3";
                 window->tOpen->click();
             }, "||"},
            // Each channel toggles by itself: one of them sounds either way, and the button says so.
            {"toggled by the button", [&] { window->tPlay->click(); }, "||"},
            {"toggled back", [&] { window->tPlay->click(); }, "||"},
            {"paused from elsewhere", [&] {
                 for (auto& c : channels.channels) c.state = PlayPaused;
                 window->ShowButtons();
             }, ">"},
            {"played by the button", [&] { window->tPlay->click(); }, "||"},
            {"paused by the button", [&] { window->tPlay->click(); }, ">"},
            {"played from elsewhere, seen by the timer", [&] {
                 channels.channels[0].state = PlayOn;
             }, "||"},
            {"the playing channel given back", [&] { window->Checks()->Box(0)->click(); }, ">"},
            {"stopped", [&] {
                 window->Checks()->Box(1)->click();
                 window->tStop->click();
             }, ">"},
        };
        for (const Step& step : steps) {
            step.act();
            QTRY_COMPARE_WITH_TIMEOUT(window->tPlay->text(), step.caption, 5000);
            QCOMPARE(window->tPlay->toolTip(), step.caption == ">" ? QString("恢复播放") : QString("暂停播放"));
            QVERIFY2(window->tStop->text() == "■", step.what);
        }
    }

    void closingTheAllCallGivesBackEveryCheckedChannel() {
        FakeBroadcastChannels channels(3);
        auto window = AllCall(channels);
        window->Checks()->Box(0)->click();
        window->Checks()->Box(2)->click();
        channels.log.clear();
        window->btnExit->click();
        QVERIFY(!window->isVisible());
        QCOMPARE(channels.log, QStringList({"give 0", "give 2"}));
        window.reset();  // nothing is given back twice
        QCOMPARE(channels.log.size(), 2);
    }

    void alarmTakesEveryChannelAtShowWithTheProgramFoldersRecording() {
        FakeBroadcastChannels channels(3);
        TFormAlarm window(channels, "/station/");
        QCOMPARE(window.AlarmFile(), QString("/station/alarm.wav"));
        QVERIFY(channels.log.isEmpty());
        QVERIFY(!window.Timer1->isActive());
        window.show();
        QCOMPARE(window.windowTitle(), QString("告警"));
        QCOMPARE(channels.log, QStringList({"take 0 /station/alarm.wav loop", "take 1 /station/alarm.wav loop",
                                             "take 2 /station/alarm.wav loop"}));
        for (int i = 0; i < 3; ++i) QVERIFY(window.Checks()->Box(i)->isChecked());
        QVERIFY(window.Timer1->isActive());
        QCOMPARE(window.Timer1->interval(), 1000);
    }

    void alarmTimerKeepsOnlyCheckedChannelsLooping() {
        FakeBroadcastChannels channels(2);
        TFormAlarm window(channels, "/station/");
        window.show();
        window.Checks()->Box(1)->click();  // unchecked: back to its timetable
        QCOMPARE(channels.log.last(), QString("give 1"));
        channels.channels[0].loop = false;  // the recording was opened again, which ends a loop
        channels.log.clear();
        window.Timer1Timer();
        QCOMPARE(channels.log, QStringList({"loop 0 on"}));
        QVERIFY(channels.channels[0].loop);
        QVERIFY(!channels.channels[1].taken);
    }

    void alarmPauseAndResume() {
        FakeBroadcastChannels channels(2);
        TFormAlarm window(channels, "/station/");
        window.show();
        // The alarm sounds from the start: the button offers the pause.
        QCOMPARE(window.tPlay->text(), QString("||"));
        QCOMPARE(window.tPlay->toolTip(), QString("暂停播放"));
        window.tPlay->click();
        QCOMPARE(window.tPlay->text(), QString(">"));
        QCOMPARE(window.tPlay->toolTip(), QString("恢复播放"));
        QCOMPARE(channels.channels[0].state, PlayPaused);
        QCOMPARE(channels.channels[1].state, PlayPaused);
        window.tPlay->click();
        QCOMPARE(window.tPlay->text(), QString("||"));
        QCOMPARE(channels.channels[1].state, PlayOn);
        // Every channel given back: nothing of the alarm plays.
        window.Checks()->Box(0)->click();
        window.Checks()->Box(1)->click();
        QCOMPARE(window.tPlay->text(), QString(">"));
    }

    void alarmOnStoppedChannelsStillShowsItSounds() {
        FakeBroadcastChannels channels(2, PlayStopped);
        TFormAlarm window(channels, "/station/");
        window.show();
        QCOMPARE(window.tPlay->text(), QString("||"));
    }

    void closingTheAlarmGivesBackAndStopsTheTimer() {
        FakeBroadcastChannels channels(2);
        TFormAlarm window(channels, "/station/");
        window.show();
        window.tPlay->click();
        channels.log.clear();
        window.close();
        QVERIFY(!window.Timer1->isActive());
        QCOMPARE(channels.log, QStringList({"give 0", "give 1"}));
        // Paused by the alarm, paused after it.
        QCOMPARE(channels.channels[0].state, PlayPaused);
    }
};

QTEST_MAIN(BroadcastWindowsTest)
#include "BroadcastWindowsTest.moc"
