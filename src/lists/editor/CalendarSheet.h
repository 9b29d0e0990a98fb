#pragma once
// The list editor's tab "校历": the station calendar's rules in a table, edited one at a time in
// a small dialog, and a year view that colours each day of a channel by the rule governing it,
// so that a hole or a lost day shows at a glance. The file is read and written off the GUI
// thread; a file that could not be read is shown with its reason and never written over.

#include "CalendarDocument.h"
#include "SettingsStore.h"

#include <QColor>
#include <QWidget>

#include <functional>
#include <optional>

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTableWidget;

namespace tessora {

struct CalendarSheetServices {
    QString stationFolder;  // where "calendar.txt" lives; empty: there is none to edit
    // The channels' titles, by number. Empty: none to name.
    std::function<QStringList()> channelTitles;
    // Shows the rule dialog on `rule` (the list names offered are the list folder's day lists);
    // the confirmed rule, or nothing when cancelled. Empty: the real dialog.
    std::function<std::optional<CalendarRule>(QWidget* parent, const CalendarRule& rule, const QStringList& lists,
                                              const QStringList& channels)>
        editRule;
};

class TCalendarSheet : public QWidget {
    Q_OBJECT
public:
    TCalendarSheet(const SystemSettings& settings, CalendarSheetServices services, QWidget* parent = nullptr);

    const TCalendarDocument& Document() const { return document_; }
    bool Busy() const { return busy_; }
    // Why the file could not be read; empty when it was (or is not read yet).
    QString LoadError() const { return loadError_; }

    QTableWidget* RuleTable = nullptr;
    QTableWidget* YearView = nullptr;  // 12 rows (months) of 31 days
    QListWidget* Legend = nullptr;
    QComboBox* ChannelBox = nullptr;
    QComboBox* YearBox = nullptr;
    QPushButton* AddButton = nullptr;
    QPushButton* EditButton = nullptr;
    QPushButton* DeleteButton = nullptr;
    QPushButton* SaveButton = nullptr;
    QLabel* Status = nullptr;

    // Operations, public so tests drive them as the buttons do.
    void Load();  // reads the file and the list folder's names; an unsaved edit is kept instead
    void Save();
    void AddRule();
    void EditRule();
    void DeleteRule();
    void ShowYear();

    // The colour of rule `index` in the year view; days no rule governs are white.
    static QColor RuleColor(int index);

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::optional<CalendarRule> AskRule(const CalendarRule& rule);
    void ShowRules();
    void SetBusy(bool busy);
    void ShowState(const QString& text);
    int SelectedRule() const;
    QString CalendarPath() const;
    QString ListFolder() const;

    const SystemSettings& settings_;
    CalendarSheetServices services_;
    TCalendarDocument document_;
    QStringList listNames_;
    QString loadError_;
    bool loaded_ = false;
    bool busy_ = false;
    // The rule dialog is up: the sheet's operations wait for it, so none works on a rule it shows.
    bool asking_ = false;
};

// The dialog of one rule: kind, dates, channels, list (静音, 默认 or a day list) and label.
std::optional<CalendarRule> AskCalendarRule(QWidget* parent, const CalendarRule& rule, const QStringList& lists,
                                            const QStringList& channels);

}  // namespace tessora
