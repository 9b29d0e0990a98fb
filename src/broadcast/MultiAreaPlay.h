#pragma once
// The all-call window "全呼广播": one file played on the channels the operator checks, in place
// of their timetables, with common play, pause and stop. Closing gives the channels back.

#include "OverrideWindow.h"

#include <functional>

class QLabel;

namespace tessora {

// The file dialog of the window; an empty answer is a cancel.
using ChooseAudioFile = std::function<QString(QWidget* parent, const QString& folder, const QString& filter)>;

class TFormMultiArea : public TOverrideWindow {
    Q_OBJECT
public:
    TFormMultiArea(TBroadcastChannels& channels, QString musicDirectory, ChooseAudioFile chooseFile,
                   QWidget* parent = nullptr);

    // Chooses the file every checked channel plays.
    void tOpenClick();
    // Stops every checked channel that is not stopped yet.
    void tStopClick();

    QLabel* tCurFile;
    QPushButton* tStop;
    QPushButton* tOpen;

protected:
    void FormShow() override;

private:
    QString musicDirectory_;
    ChooseAudioFile chooseFile_;
};

}  // namespace tessora
