#include "EditorDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace tessora {

EditorDialogs EditorDialogs::Platform() {
    EditorDialogs dialogs;
    dialogs.showMessage = [](QWidget* parent, const QString& text) {
        QMessageBox::warning(parent, QApplication::applicationDisplayName(), text);
    };
    dialogs.chooseOpenFile = [](QWidget* parent, const QString& title, const QString& folder, const QString& filter) {
        return QFileDialog::getOpenFileName(parent, title, folder, filter);
    };
    dialogs.chooseSaveFile = [](QWidget* parent, const QString& title, const QString& folder, const QString& filter) {
        return QFileDialog::getSaveFileName(parent, title, folder, filter);
    };
    dialogs.chooseFolder = [](QWidget* parent, const QString& folder) {
        return QFileDialog::getExistingDirectory(parent, QString(), folder);
    };
    return dialogs;
}

}  // namespace tessora
