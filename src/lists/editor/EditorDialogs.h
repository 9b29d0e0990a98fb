#pragma once
// What the editors ask of the platform: message boxes and file and folder dialogs. Tests put
// their own in.

#include <QString>

#include <functional>

class QWidget;

namespace tessora {

struct EditorDialogs {
    // A message the user must acknowledge.
    std::function<void(QWidget* parent, const QString& text)> showMessage;
    // File dialogs; an empty answer is a cancel. Filters are in Qt's form ("日列表 (*.lst)").
    std::function<QString(QWidget* parent, const QString& title, const QString& folder, const QString& filter)> chooseOpenFile;
    std::function<QString(QWidget* parent, const QString& title, const QString& folder, const QString& filter)> chooseSaveFile;
    std::function<QString(QWidget* parent, const QString& folder)> chooseFolder;
    // A question answered 是 (true) or 否 (false). Empty: every question is answered 是.
    std::function<bool(QWidget* parent, const QString& text)> askYesNo;

    static EditorDialogs Platform();
};

}  // namespace tessora
