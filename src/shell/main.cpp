// tessora: the station itself.
#include "MainForm.h"
#include "SettingsStore.h"
#include "SignalExit.h"

#include <QApplication>
#include <QScreen>
#include <QPointer>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName("多通道智能广播系通");
    QApplication::setApplicationName("tessora");

    QPointer<tessora::TfrmMain> window = new tessora::TfrmMain(tessora::ProgramFolder(), tessora::MainWindowServices::Platform());
    window->setAttribute(Qt::WA_DeleteOnClose);
    tessora::CatchTerminationSignals([window] {
        // Asked to end by the system: keep what the operator set, as a confirmed exit does.
        window->SaveOnExit();
        QCoreApplication::exit(0);  // quit() would first ask every window to close, password and all
    });
    // Without a window manager (a kiosk, a virtual display) maximising does nothing: start at full size.
    window->setGeometry(window->screen()->availableGeometry());
    window->show();
    window->setWindowState(window->windowState() | Qt::WindowMaximized);
    const int status = app.exec();
    delete window.data();  // still there when a signal ended the program
    return status;
}
