#pragma once
// What the list editor edits, apart from its window: the day list, the periodic list, the name
// they are saved under and the day of the periodic list that "..." and "Del" act on. Reading
// and writing files is left to the caller (off the GUI thread); this holds the rules.

#include "PeriodicList.h"
#include "PlayList.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace tessora {

enum class EditorTab { Day, Periodic };

// The label of line `index` of a periodic list shown as `kind`: 周日..周六, 1号..31号,
// 第1天..第366天; a line past the kind's days (an odd file) is 第N行.
QString DayLabel(PeriodKind kind, qsizetype index);

// The file a list on `tab` is written to when saved under `name`: ".lst" or ".lsm" appended
// unless the name has it (in any case).
QString SavedFileName(EditorTab tab, const QString& name);

// A list file as Open read it, or why it could not be read.
struct OpenedList {
    QString Path;
    EditorTab Tab = EditorTab::Day;
    TPlayList DayList;
    PeriodicList Lines;
    QString Error;  // empty when the file was read whole
};

// Reads a ".lst" or ".lsm" file for the editor; nothing for any other extension. A day list
// whose size is not a whole number of records is reported as damaged rather than shown in part.
// Touches the file system: call it off the GUI thread.
std::optional<OpenedList> ReadListFile(const QString& path);
// Reads a day list for display; the error text is empty when it was read whole.
OpenedList ReadDayListFile(const QString& path);

// A file to write, ready to go: its name and its whole contents.
struct ListFileToWrite {
    QString Path;
    QByteArray Contents;
};
// Writes it atomically; the error text, or empty. Touches the file system.
QString WriteListFile(const ListFileToWrite& file);

class TListDocument {
public:
    TPlayList EditedDayList;
    PeriodicList EditedPeriodicList;
    QString CurrentFileName;
    qsizetype SelectedDay = 0;
    PeriodKind Kind = PeriodKind::Week;
    // The tab whose file CurrentFileName names. Save on the other tab asks for a name, so it
    // never writes over a file of the other kind that the user has not seen.
    std::optional<EditorTab> NamedTab;

    // The name Save writes to on `tab` without asking; empty when it must ask.
    QString NameFor(EditorTab tab) const { return NamedTab == tab ? CurrentFileName : QString(); }

    // Empty, unnamed lists; the kind as last chosen.
    void Show();
    void Close();
    void NewDayList();
    void NewPeriodicList();
    // Discards every assignment: the periodic list becomes the kind's empty days.
    void ChangeKind(PeriodKind kind);

    // Takes what Open read. A file that failed to read changes nothing: the editor keeps the
    // list and the name it had, so a later Save cannot write either over the wrong file.
    // Returns false in that case.
    bool TakeOpened(const OpenedList& opened);

    bool IsDay(qsizetype day) const { return day >= 0 && day < EditedPeriodicList.size(); }
    // The line of the selected day, or nothing when the selection names no line of this list.
    std::optional<QString> SelectedLine() const;
    bool AssignSelectedDay(const QString& dayListPath);
    bool ClearSelectedDay();

    // The periodic list is shown in the calendar when it is a year of at most 366 lines.
    bool UsesCalendar() const;

    // What Save writes on `tab` under `name` (the dialog's answer, or CurrentFileName). The
    // document is then named: a periodic list after the file (".lsm" appended), a day list as
    // given, its file getting ".lst" when the name lacks it.
    ListFileToWrite Save(EditorTab tab, const QString& name);
    // Save As names the document after the file it wrote, for either tab.
    ListFileToWrite SaveAs(EditorTab tab, const QString& name);

private:
    ListFileToWrite Contents(EditorTab tab, const QString& path) const;
};

// A channel as far as the editor's note on a saved list needs it.
struct ChannelListUse {
    QString Title;
    QString DayListFile;
    QString PeriodicListFile;
    PeriodicList PeriodicLines;  // the lines the channel loaded
};

// The status line after a save: where it went, and which channels use that file and when they
// take the new content (channels keep the copy they loaded).
QString SavedListNote(const QString& savedPath, const std::vector<ChannelListUse>& channels);

}  // namespace tessora
