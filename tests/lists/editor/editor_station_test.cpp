// A week list made in the editors, given to a channel of the real station, plays: the list
// editor and the real item editor make the day list and the week, tessora plays them on a
// capturing virtual output.
#include "CaptureAnalysis.h"
#include "EditorTestSupport.h"
#include "ItemEditor.h"
#include "ListEditor.h"
#include "StationRun.h"

#include <QApplication>
#include <QDateTime>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace tessora;
using namespace tessora::test;

TEST(EditorStation, AWeekMadeInTheEditorsPlays) {
    StationRun station(TESSORA_PROGRAM, TESSORA_CLI);
    ASSERT_TRUE(station.Ready());
    const QString folder = station.Folder();
    ASSERT_TRUE(station.MakeTone("bell.wav", 440, 3));
    const QDateTime t0 = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch() + 8);
    if (t0.addSecs(30).date() != t0.date()) GTEST_SKIP() << "too close to midnight for a day list";
    const auto ms = [&](double s) { return t0.toMSecsSinceEpoch() + static_cast<int64_t>(s * 1000); };

    SystemSettings settings;
    FakeDialogs fakes;
    ListEditorServices services;
    services.dialogs = fakes.Dialogs();
    // The real item editor, filled in as an operator does: the file from its dialog (which sets
    // the end time from the file's length), then the start time and the title.
    services.editItem = [&](QWidget*, const PlayItem& item, bool) -> std::optional<PlayItem> {
        TfrmItemEditor editor(settings, fakes.Dialogs(), KeepIn(settings));
        editor.WorkItem = item;
        editor.show();
        editor.TimeStart->setText(t0.toString("hh:mm:ss"));
        fakes.fileAnswers << folder + "bell.wav";
        editor.FileButton->click();
        EXPECT_TRUE(WaitUntil([&] { return !editor.OpeningFile(); }));
        editor.TxtTitle1->setText("上课铃");
        editor.OkButton->click();
        if (editor.Cancelled) return std::nullopt;
        return editor.WorkItem;
    };
    TFormList form(settings, services);
    form.show();
    const auto wait = [&] { ASSERT_TRUE(WaitUntil([&] { return !form.Busy(); })); };

    form.NewDayList();
    form.Insert(KindFile);
    ASSERT_EQ(form.Document().EditedDayList.Items.size(), 1u) << fakes.messages.join("; ").toStdString();
    fakes.fileAnswers << folder + "bells";
    form.Save();
    wait();

    form.NewPeriodicList();
    for (int day = 0; day < 7; ++day) {
        form.SelectGridDay(day);
        fakes.fileAnswers << folder + "bells.lst";
        form.btnList->click();
        wait();
    }
    fakes.fileAnswers << folder + "week";
    form.Save();
    wait();
    ASSERT_TRUE(fakes.messages.isEmpty()) << fakes.messages.join("; ").toStdString();

    ASSERT_TRUE(station.Cli({"make-channels", folder + "tessora.cfg"}, QString("一号\t1\t0\t0\t0\t\t%1\n").arg(folder + "week.lsm")));
    ASSERT_TRUE(station.Start(4));
    while (QDateTime::currentMSecsSinceEpoch() < ms(5)) QThread::msleep(200);
    EXPECT_TRUE(station.Terminate());

    const auto output = CaptureTimeline::Load(station.CaptureFolder() + "/device-1");
    ASSERT_TRUE(output) << "nothing captured on output 1";
    const auto bell = output->FirstSound(440, ms(0), ms(3));
    ASSERT_TRUE(bell) << "the bell never sounded";
    EXPECT_LE(*bell, ms(1.5));
    // The item ends with the file: its end time came from the file's length.
    EXPECT_FALSE(output->Sounds(440, ms(4.5), ms(5)));
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("TESSORA_AUDIO", "null");  // the item editor's preview output; the station has its own
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
