#include "EditorDialogs.h"

#include "SettingsStore.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace tessora {

EditorDialogs EditorDialogs::Platform() {
    EditorDialogs dialogs;
    dialogs.showMessage = [](QWidget* parent, const QString& text) {
        QMessageBox::warning(parent, kApplicationTitle, text);
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
    dialogs.askYesNo = [](QWidget* parent, const QString& text) {
        QMessageBox box(QMessageBox::Question, kApplicationTitle, text, QMessageBox::NoButton, parent);
        QPushButton* yes = box.addButton(QStringLiteral("是"), QMessageBox::YesRole);
        QPushButton* no = box.addButton(QStringLiteral("否"), QMessageBox::NoRole);
        box.setDefaultButton(no);  // losing work is never the default
        box.setEscapeButton(no);
        box.exec();
        return box.clickedButton() == yes;
    };
    return dialogs;
}

}  // namespace tessora
