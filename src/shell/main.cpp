// tessora: the station itself.
#include "MainForm.h"
#include "RemoteServer.h"
#include "SettingsStore.h"
#include "SignalExit.h"
#include "Station.h"
#include "StationFolder.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QScreen>
#include <QTranslator>

#include <cstdio>

namespace {

// Qt's own dialogs (file dialogs, message box buttons) in the desktop's language.
void LoadQtTranslations(QApplication& app) {
    auto* translator = new QTranslator(&app);
    if (translator->load(QLocale::system(), "qtbase", "_", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(translator);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // No display name: Qt would append it to every window caption, and the main window's caption
    // is the system name alone.
    QApplication::setApplicationName("tessora");
    QApplication::setApplicationVersion(TESSORA_VERSION);
    LoadQtTranslations(app);

    const QString stationFolder = tessora::StationFolder();
    QString error;
    if (!tessora::PrepareStationFolder(stationFolder, tessora::ShippedFilesFolder(QCoreApplication::applicationDirPath()), &error))
        std::fprintf(stderr, "tessora: %s\n", qPrintable(error));

    const auto passwords = tessora::MakeUserPasswordStore();
    tessora::TStation station(stationFolder, *passwords, tessora::MixerChannelFactory());
    // The HTTP server for the LAN, when the settings turn it on; it listens from the first load
    // of the settings, which the main window makes at its first show.
    tessora::TRemoteServer remote(station);
    remote.StartWithFirstSettings();
    QPointer<tessora::TfrmMain> window = new tessora::TfrmMain(station, tessora::MainWindowServices::Platform());
    window->setAttribute(Qt::WA_DeleteOnClose);
    tessora::CatchTerminationSignals([window] {
        // Asked to end by the system: keep what the operator set, as a confirmed exit does.
        if (window) window->SaveOnExit();
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
