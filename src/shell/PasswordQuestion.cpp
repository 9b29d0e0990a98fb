#include "PasswordQuestion.h"

#include <QInputDialog>
#include <QLineEdit>

namespace tessora {

bool PasswordQuestion(QWidget* parent, const QString& password) {
    QInputDialog dialog(parent);
    dialog.setWindowTitle("Password");
    dialog.setLabelText("请输入系统密码:");
    dialog.setTextEchoMode(QLineEdit::Password);
    dialog.setTextValue(QString());
    dialog.setOkButtonText("OK");
    dialog.setCancelButtonText("Cancel");
    dialog.setInputMethodHints(Qt::ImhHiddenText | Qt::ImhSensitiveData | Qt::ImhNoPredictiveText);
    return dialog.exec() == QDialog::Accepted && dialog.textValue() == password;
}

}  // namespace tessora
