#include "FileError.h"
#include "ListDocument.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace tessora;

namespace {

PlayItem Bell(const QString& title) {
    PlayItem item;
    item.Title = title;
    item.StartTime = 0.25;
    item.EndTime = 0.26;
    item.Source = "/srv/bell.wav";
    return item;
}

// Writes what Save prepared, as the editor does off its GUI thread.
void Write(const ListFileToWrite& file) { ASSERT_EQ(WriteListFile(file), QString()); }

}  // namespace

TEST(ListDocument, DayLabelsFollowTheKindAndNameOddLinesByNumber) {
    EXPECT_EQ(DayLabel(PeriodKind::Week, 0), "周日");
    EXPECT_EQ(DayLabel(PeriodKind::Week, 6), "周六");
    EXPECT_EQ(DayLabel(PeriodKind::Month, 0), "1号");
    EXPECT_EQ(DayLabel(PeriodKind::Month, 30), "31号");
    EXPECT_EQ(DayLabel(PeriodKind::Year, 365), "第366天");
    EXPECT_EQ(DayLabel(PeriodKind::Week, 7), "第8行");
}

TEST(ListDocument, SaveNamesTheFileByTab) {
    TempFolder dir;
    struct Case { EditorTab tab; QString name, file, documentName; bool saveAs; };
    const Case cases[] = {
        {EditorTab::Periodic, "abc", "abc.lsm", "abc.lsm", false},
        {EditorTab::Periodic, "abc.LSM", "abc.LSM", "abc.LSM", false},
        {EditorTab::Day, "x", "x.lst", "x", false},  // the name stays as given, the file gets .lst
        {EditorTab::Day, "y.lst", "y.lst", "y.lst", false},
        {EditorTab::Day, "z", "z.lst", "z.lst", true},
        {EditorTab::Periodic, "w.lst", "w.lst.lsm", "w.lst.lsm", true},
    };
    for (const Case& c : cases) {
        TListDocument document;
        document.Show();
        const ListFileToWrite file = c.saveAs ? document.SaveAs(c.tab, dir.Path(c.name)) : document.Save(c.tab, dir.Path(c.name));
        Write(file);
        EXPECT_EQ(file.Path, dir.Path(c.file)) << c.name.toStdString();
        EXPECT_EQ(document.CurrentFileName, dir.Path(c.documentName)) << c.name.toStdString();
        EXPECT_TRUE(QFileInfo::exists(dir.Path(c.file)));
    }
}

TEST(ListDocument, NewUneditedWeekIsSevenEmptyLinesAndReopensAsAWeek) {
    TempFolder dir;
    TListDocument document;
    document.Show();
    Write(document.Save(EditorTab::Periodic, dir.Path("week")));
    EXPECT_EQ(dir.Read("week.lsm"), QByteArray("\r\n").repeated(7));

    const auto opened = ReadListFile(dir.Path("week.lsm"));
    ASSERT_TRUE(opened);
    TListDocument again;
    again.Kind = PeriodKind::Month;
    again.Show();
    ASSERT_TRUE(again.TakeOpened(*opened));
    EXPECT_EQ(again.Kind, PeriodKind::Week);
    EXPECT_EQ(again.EditedPeriodicList, PeriodicList(7));
}

TEST(ListDocument, KindComesFromTheLineCountAndOddFilesKeepTheirLines) {
    TempFolder dir;
    struct Case { int lines; PeriodKind shown, kind; bool calendar; };
    const Case cases[] = {
        {31, PeriodKind::Week, PeriodKind::Month, false}, {366, PeriodKind::Week, PeriodKind::Year, true},
        {5, PeriodKind::Year, PeriodKind::Week, false},   {12, PeriodKind::Week, PeriodKind::Month, false},
        {0, PeriodKind::Month, PeriodKind::Week, false},  {400, PeriodKind::Month, PeriodKind::Month, false},
        {400, PeriodKind::Year, PeriodKind::Year, false},
    };
    for (const Case& c : cases) {
        PeriodicList lines;
        for (int i = 0; i < c.lines; ++i) lines << (i % 3 == 0 ? QString("/srv/day%1.lst").arg(i) : QString());
        const QString path = WritePeriodicList(dir.Path(QString("odd%1").arg(c.lines)), lines);

        TListDocument document;
        document.Kind = c.shown;
        document.Show();
        ASSERT_TRUE(document.TakeOpened(*ReadListFile(path)));
        EXPECT_EQ(document.Kind, c.kind) << c.lines;
        EXPECT_EQ(document.UsesCalendar(), c.calendar) << c.lines;
        EXPECT_EQ(document.EditedPeriodicList, lines) << c.lines;

        // Saved back unchanged: no line lost, none invented.
        const QByteArray before = dir.Read(QFileInfo(path).fileName());
        Write(document.Save(EditorTab::Periodic, document.CurrentFileName));
        EXPECT_EQ(dir.Read(QFileInfo(path).fileName()), before) << c.lines;
    }
}

TEST(ListDocument, TheSelectedDayActsOnlyOnALineOfTheList) {
    TListDocument document;
    document.Kind = PeriodKind::Month;
    document.Show();
    // Before any click the first day is selected.
    EXPECT_TRUE(document.AssignSelectedDay("/srv/a.lst"));
    EXPECT_EQ(document.EditedPeriodicList.at(0), "/srv/a.lst");

    document.SelectedDay = 19;
    EXPECT_TRUE(document.AssignSelectedDay("/srv/b.lst"));
    // A change of kind empties the list without asking and keeps the selection, now past the week.
    document.ChangeKind(PeriodKind::Week);
    EXPECT_EQ(document.EditedPeriodicList, PeriodicList(7));
    EXPECT_FALSE(document.AssignSelectedDay("/srv/c.lst"));
    EXPECT_FALSE(document.ClearSelectedDay());
    EXPECT_FALSE(document.SelectedLine());
    EXPECT_EQ(document.EditedPeriodicList, PeriodicList(7));

    document.SelectedDay = 6;
    EXPECT_TRUE(document.AssignSelectedDay("/srv/c.lst"));
    EXPECT_EQ(document.SelectedLine(), QString("/srv/c.lst"));
    EXPECT_TRUE(document.ClearSelectedDay());
    EXPECT_EQ(document.SelectedLine(), QString());
}

TEST(ListDocument, AFailedOpenKeepsTheListAndTheName) {
    TempFolder dir;
    TListDocument document;
    document.Show();
    document.EditedDayList.Items = {Bell("上课")};
    Write(document.Save(EditorTab::Day, dir.Path("mine.lst")));

    dir.Write("damaged.lst", QByteArray(1000, 'x'));
    ASSERT_EQ(mkfifo(dir.Path("pipe.lst").toLocal8Bit().constData(), 0600), 0);
    for (const QString& name : {"damaged.lst", "missing.lst", "pipe.lst", "missing.lsm"}) {
        const auto opened = ReadListFile(dir.Path(name));
        ASSERT_TRUE(opened);
        EXPECT_FALSE(opened->Error.isEmpty()) << name.toStdString();
        EXPECT_FALSE(document.TakeOpened(*opened));
        EXPECT_EQ(document.CurrentFileName, dir.Path("mine.lst"));
        EXPECT_EQ(document.EditedDayList.Items.size(), 1u);
    }
    EXPECT_TRUE(ReadListFile(dir.Path("damaged.lst"))->Error.contains("1000"));
    EXPECT_FALSE(ReadListFile(dir.Path("notes.txt")));
    // The damaged file is still as it was.
    EXPECT_EQ(dir.Read("damaged.lst"), QByteArray(1000, 'x'));
}

TEST(ListDocument, OpenedDayListReplacesTheEditedOne) {
    TempFolder dir;
    TPlayList list;
    list.Items = {Bell("一"), Bell("二")};
    const QString path = list.SaveToFile(dir.Path("two"));
    TListDocument document;
    document.Show();
    document.EditedDayList.Items = {Bell("旧")};
    ASSERT_TRUE(document.TakeOpened(*ReadListFile(path)));
    ASSERT_EQ(document.EditedDayList.Items.size(), 2u);
    EXPECT_EQ(document.EditedDayList.Items[1].Title, "二");
    EXPECT_EQ(document.CurrentFileName, path);
    // The day list's name is no name for a periodic list.
    EXPECT_EQ(document.NameFor(EditorTab::Day), path);
    EXPECT_EQ(document.NameFor(EditorTab::Periodic), QString());
    document.Close();
    document.Show();
    EXPECT_TRUE(document.EditedDayList.Items.empty());
    EXPECT_TRUE(document.CurrentFileName.isEmpty());
}

TEST(ListDocument, SavedNoteNamesTheChannelsThatUseTheFile) {
    const std::vector<ChannelListUse> channels = {
        {"教学楼", "/l/mon.lst", "", {}},
        {"操场", "/l/mon.lst", "/l/week.lsm", {"", "/l/mon.lst", "", "", "", "", ""}},  // today's list
        {"宿舍", "/l/other.lst", "", {}},
    };
    EXPECT_EQ(SavedListNote("/l/x.lst", channels), "已保存：/l/x.lst");
    const QString mon = SavedListNote("/l/mon.lst", channels);
    EXPECT_TRUE(mon.contains("音源 教学楼 使用此文件，在下次选择列表或启动时读取新内容")) << mon.toStdString();
    EXPECT_TRUE(mon.contains("音源 操场 的周期列表含此日列表")) << mon.toStdString();
    EXPECT_FALSE(mon.contains("宿舍"));
    EXPECT_TRUE(SavedListNote("/l/week.lsm", channels).contains("音源 操场 使用此文件"));
}
