#include "ListDocument.h"

#include "FileError.h"
#include "FileNames.h"

#include <QStringList>

namespace tessora {

namespace {

const QStringList kWeekdayLabels = {"周日", "周一", "周二", "周三", "周四", "周五", "周六"};

QString ExtensionOf(EditorTab tab) { return tab == EditorTab::Day ? ".lst" : ".lsm"; }

QString DamageText(qsizetype size) {
    return QString("文件已损坏：%1 字节不是整数条记录（每条 %2 字节）").arg(size).arg(PlayItemLayout::Size);
}

}  // namespace

QString DayLabel(PeriodKind kind, qsizetype index) {
    if (index >= 0 && index < LineCountOf(kind)) {
        switch (kind) {
        case PeriodKind::Week: return kWeekdayLabels.at(index);
        case PeriodKind::Month: return QString("%1号").arg(index + 1);
        case PeriodKind::Year: return QString("第%1天").arg(index + 1);
        }
    }
    return QString("第%1行").arg(index + 1);
}

QString SavedFileName(EditorTab tab, const QString& name) { return WithExtension(name, ExtensionOf(tab)); }

OpenedList ReadDayListFile(const QString& path) {
    OpenedList opened{path, EditorTab::Day, {}, {}, {}};
    try {
        const QByteArray contents = ReadWholeFile(path);
        if (contents.size() % static_cast<qsizetype>(PlayItemLayout::Size) != 0)
            opened.Error = DamageText(contents.size());
        else
            opened.DayList.LoadFromBytes(contents);
    } catch (const EFileError& e) {
        opened.Error = e.Message;
    }
    return opened;
}

std::optional<OpenedList> ReadListFile(const QString& path) {
    const QString extension = LowerExtension(path);
    if (extension == ".lst") return ReadDayListFile(path);
    if (extension != ".lsm") return std::nullopt;
    OpenedList opened{path, EditorTab::Periodic, {}, {}, {}};
    try {
        opened.Lines = ReadPeriodicList(path);
    } catch (const EFileError& e) {
        opened.Error = e.Message;
    }
    return opened;
}

QString WriteListFile(const ListFileToWrite& file) {
    try {
        WriteFileAtomically(file.Path, file.Contents);
        return {};
    } catch (const EFileError& e) {
        return e.Message;
    }
}

void TListDocument::Show() {
    NewDayList();
    ChangeKind(Kind);
}

void TListDocument::Close() {
    EditedDayList.Clear();
    EditedPeriodicList.clear();
}

void TListDocument::NewDayList() {
    EditedDayList.Clear();
    CurrentFileName.clear();
    NamedTab.reset();
}

void TListDocument::NewPeriodicList() {
    NewDayList();
    ChangeKind(Kind);
}

void TListDocument::ChangeKind(PeriodKind kind) {
    Kind = kind;
    EditedPeriodicList = PeriodicList(LineCountOf(kind));
}

bool TListDocument::TakeOpened(const OpenedList& opened) {
    if (!opened.Error.isEmpty()) return false;
    CurrentFileName = opened.Path;
    NamedTab = opened.Tab;
    if (opened.Tab == EditorTab::Day) {
        EditedDayList = opened.DayList;
    } else {
        Kind = KindFromLineCount(opened.Lines.size(), Kind);
        EditedPeriodicList = opened.Lines;
    }
    return true;
}

std::optional<QString> TListDocument::SelectedLine() const {
    if (!IsDay(SelectedDay)) return std::nullopt;
    return EditedPeriodicList.at(SelectedDay);
}

bool TListDocument::AssignSelectedDay(const QString& dayListPath) {
    if (!IsDay(SelectedDay)) return false;
    EditedPeriodicList[SelectedDay] = dayListPath;
    return true;
}

bool TListDocument::ClearSelectedDay() { return AssignSelectedDay(QString()); }

bool TListDocument::UsesCalendar() const { return Kind == PeriodKind::Year && EditedPeriodicList.size() <= kYearLines; }

ListFileToWrite TListDocument::Contents(EditorTab tab, const QString& path) const {
    return {path, tab == EditorTab::Day ? EditedDayList.ToBytes() : SerializePeriodicList(EditedPeriodicList)};
}

ListFileToWrite TListDocument::Save(EditorTab tab, const QString& name) {
    const QString path = SavedFileName(tab, name);
    CurrentFileName = tab == EditorTab::Day ? name : path;
    NamedTab = tab;
    return Contents(tab, path);
}

ListFileToWrite TListDocument::SaveAs(EditorTab tab, const QString& name) {
    CurrentFileName = SavedFileName(tab, name);
    NamedTab = tab;
    return Contents(tab, CurrentFileName);
}

QString SavedListNote(const QString& savedPath, const std::vector<ChannelListUse>& channels) {
    QStringList direct, throughPeriodic;
    for (const ChannelListUse& channel : channels) {
        // A channel on a periodic list holds today's day list too, but takes it from the lines.
        const bool periodic = !channel.PeriodicListFile.isEmpty();
        if (periodic ? channel.PeriodicListFile == savedPath : channel.DayListFile == savedPath)
            direct << channel.Title;
        else if (periodic && channel.PeriodicLines.contains(savedPath))
            throughPeriodic << channel.Title;
    }
    QString note = QString("已保存：%1").arg(savedPath);
    if (!direct.isEmpty())
        note += QString("。音源 %1 使用此文件，在下次选择列表或启动时读取新内容").arg(direct.join("、"));
    if (!throughPeriodic.isEmpty())
        note += QString("。音源 %1 的周期列表含此日列表，在换日读取它时使用新内容").arg(throughPeriodic.join("、"));
    return note;
}

}  // namespace tessora
