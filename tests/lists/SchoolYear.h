#pragma once
// A school year in one folder, shared by the tests of every place the calendar acts: three
// channels (0 and 2 on day lists of their own, 1 on a week list that names "two.lst" on Fridays
// only), a list folder with the term's and the exams' lists, and a calendar with a term, a holiday
// inside it, a one-day make-up day inside the holiday, exams for channels 0 and 1 only and a leap
// day. Each list holds one item, 08:00:00 to 08:00:30, titled with the list's name and playing
// "/m/NAME.wav", so that what sounds tells which list was followed.

#include "DateTimeValue.h"
#include "PeriodicList.h"
#include "PlayList.h"
#include "TempFolder.h"

#include <QString>

#include <vector>

namespace tessora::test {

inline const QByteArray kSchoolYearCalendar =
    "# 2026/2027 学年\n"                                            // line 1
    "term\t2026-09-01\t2027-01-22\t*\tterm.lst\t秋季学期\n"          // 2
    "holiday\t2026-10-01\t2026-10-07\t*\t-silent-\t国庆节\n"         // 3
    "oneoff\t2026-10-04\t\t*\tterm.lst\t调休上课\n"                   // 4
    "\n"                                                            // 5
    "exam\t2027-01-11\t2027-01-15\t0,1\t期末考试.lst\t期末考试\n"     // 6
    "oneoff\t2028-02-29\t\t*\t-silent-\t闰日停课\n";                 // 7

struct SchoolDay {
    const char* date;
    int channel;
    const char* list;    // the day list's file name; "-silent-"; empty when none applies
    const char* origin;  // as `tessora-cli day` prints it, with "FOLDER/" for the week list's folder
};

inline const std::vector<SchoolDay> kSchoolDays = {
    {"2026-08-31", 0, "one.lst", "list"},                               // before the term
    {"2026-09-01", 0, "term.lst", "calendar:2 秋季学期"},                // its first day
    {"2026-09-01", 1, "term.lst", "calendar:2 秋季学期"},
    {"2026-10-01", 0, "-silent-", "calendar:3 国庆节"},                  // the holiday inside the term
    {"2026-10-04", 0, "term.lst", "calendar:4 调休上课"},                // the make-up day inside the holiday
    {"2026-10-04", 2, "term.lst", "calendar:4 调休上课"},
    {"2026-10-07", 2, "-silent-", "calendar:3 国庆节"},                  // the holiday's last day, included
    {"2026-10-08", 2, "term.lst", "calendar:2 秋季学期"},                // the day after it
    {"2027-01-11", 0, "期末考试.lst", "calendar:6 期末考试"},             // exams for channels 0 and 1
    {"2027-01-11", 1, "期末考试.lst", "calendar:6 期末考试"},
    {"2027-01-11", 2, "term.lst", "calendar:2 秋季学期"},                // but not for 2
    {"2027-01-15", 1, "期末考试.lst", "calendar:6 期末考试"},             // the exams' last day
    {"2027-01-22", 1, "term.lst", "calendar:2 秋季学期"},                // the term's last day
    {"2027-01-29", 1, "two.lst", "periodic:FOLDER/week.lsm"},           // after the term: the week list
    {"2028-02-28", 1, "", "periodic:FOLDER/week.lsm"},                  // a Monday the week list leaves empty
    {"2028-02-29", 1, "-silent-", "calendar:7 闰日停课"},                // a leap day
    {"2028-02-29", 2, "-silent-", "calendar:7 闰日停课"},
    {"2028-03-01", 0, "one.lst", "list"},
};

// The folder: lists in "list/", the week list and the calendar beside them.
class SchoolYearFolder {
public:
    SchoolYearFolder() {
        dir.MakeFolder("list");
        for (const char* name : {"one", "two", "three", "term", "期末考试"}) SaveList(name);
        WritePeriodicList(Path("week.lsm"), {"", "", "", "", "", ListPath("two.lst"), ""});
        dir.Write("calendar.txt", kSchoolYearCalendar);
    }
    QString Path(const QString& name = QString()) const { return dir.Path(name); }
    QString ListFolder() const { return Path("list"); }
    QString ListPath(const QString& name) const { return Path("list/" + name); }
    // The list a channel follows when no rule governs its day.
    QString OwnList(int channel) const { return channel == 0 ? ListPath("one.lst") : ListPath("three.lst"); }
    bool Periodic(int channel) const { return channel == 1; }

    static QString Sound(const QString& listName) { return "/m/" + QString(listName).remove(".lst") + ".wav"; }

    TempFolder dir;

private:
    void SaveList(const QString& name) {
        PlayItem item;
        item.Index = 1;
        item.Title = name;
        item.StartTime = 8.0 / 24;
        item.EndTime = (8.0 * 3600 + 30) / 86400;
        item.Source = Sound(name);
        TPlayList list;
        list.Items = {item};
        list.SaveToFile(ListPath(name + ".lst"));
    }
};

}  // namespace tessora::test
