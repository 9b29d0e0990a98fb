#pragma once
// The list editor "节目编排": makes, opens and saves day lists (".lst") and periodic lists
// (".lsm"). It works on files only; channels keep the copy of a list they loaded.

#include "CalendarSheet.h"
#include "EditorDialogs.h"
#include "ListDocument.h"
#include "SettingsStore.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <vector>

class QCalendarWidget;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenuBar;
class QPushButton;
class QTabWidget;
class QTableWidget;
class QToolButton;

namespace tessora {

struct ListEditorServices {
    EditorDialogs dialogs;
    // Shows the item editor on `item` (a new item of its Kind, or an existing one in edit
    // mode); the confirmed item, or nothing when it was cancelled. Empty: the real item editor.
    std::function<std::optional<PlayItem>(QWidget* parent, const PlayItem& item, bool editMode)> editItem;
    // Keeps the item editor's preview volume in the settings.
    std::function<void(int32_t volume)> keepPreviewVolume;
    // The channels as they are now, for the note after a save. Empty: no channels to name.
    std::function<std::vector<ChannelListUse>()> channelUses;
    // The station folder (its calendar) and the rule dialog, for the tab "校历".
    CalendarSheetServices calendar;
};

class TFormList : public QDialog {
    Q_OBJECT
public:
    // `settings` outlives the window; the editors read it when they need it.
    TFormList(const SystemSettings& settings, ListEditorServices services, QWidget* parent = nullptr);

    const TListDocument& Document() const { return document_; }
    // True while a file is being read or written (off the GUI thread); the window waits.
    bool Busy() const { return busy_; }

    QMenuBar* MainMenu = nullptr;
    QTabWidget* MainTab = nullptr;
    QWidget* sheetDay = nullptr;
    QWidget* sheetMultiDay = nullptr;
    QTableWidget* ListView = nullptr;
    QComboBox* cboType = nullptr;
    QTableWidget* gridDays = nullptr;
    QCalendarWidget* calDays = nullptr;
    QTableWidget* DayListView = nullptr;
    QLineEdit* EditDayList = nullptr;
    QPushButton* btnList = nullptr;
    QPushButton* btnDel = nullptr;
    QToolButton* InsertButton = nullptr;
    QLabel* StatusLine = nullptr;
    TCalendarSheet* sheetCalendar = nullptr;

    // Operations, public so tests can drive them as the menus and buttons do.
    void FormShow();
    void FormClose();
    void NewDayList();
    void NewPeriodicList();
    void Open();
    void Save();
    void SaveAs();
    void Insert(PlayKind kind);
    void Edit();
    void Delete();
    void ChangeKind(int index);
    void SelectGridDay(int row);
    void SelectCalendarDay(const QDate& date);
    void ChooseDayList();
    void ClearDay();
    // Marks the calendar's days that have a day list (year lists), on the page shown.
    void MarkCalendarDays();

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    void BuildMenus();
    QWidget* BuildDaySheet();
    QWidget* BuildPeriodicSheet();
    EditorTab ActiveTab() const;
    void ShowOnlyTab(QWidget* sheet);
    void ShowDays();
    void ShowSelectedDay();
    void ShowDayListPreview(const QString& path);
    void ClearDayPreview();
    void FillDayListView();
    void ShowOpened(const OpenedList& opened);
    void WriteList(const ListFileToWrite& file);
    std::optional<PlayItem> EditItem(const PlayItem& item, bool editMode);
    void SetBusy(bool busy);
    void Message(const QString& text);
    // True while a dialog of the window is up (file dialogs, the item editor, messages). The
    // window's controls can still be pressed then over the accessibility bus, and an operation
    // started under the dialog would change the list the dialog's answer goes into: they wait.
    bool DialogUp() const { return dialogsUp_ > 0; }
    // Runs `show` (a modal dialog) with the window's operations held off meanwhile.
    template <typename Show> auto WhileDialogUp(Show show);
    // Runs file work off the GUI thread; `done` runs only if the window was not closed meanwhile.
    template <typename Work, typename Done> void RunFileTask(Work work, Done done);

    const SystemSettings& settings_;
    ListEditorServices services_;
    TListDocument document_;
    QString saveFilter_;
    QString saveFolder_;
    bool shown_ = false;
    bool busy_ = false;
    int showing_ = 0;  // counts showings, so work finished after a close is dropped
    int dialogsUp_ = 0;
};

}  // namespace tessora
