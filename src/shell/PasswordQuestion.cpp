#include "PasswordQuestion.h"

#include <QInputDialog>
#include <QLineEdit>

namespace tessora {

bool PasswordQuestion(QWidget* parent, const QString& password) {
    QInputDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("密码"));
    dialog.setLabelText("请输入系统密码:");
    dialog.setTextEchoMode(QLineEdit::Password);
    dialog.setTextValue(QString());
    dialog.setOkButtonText(QStringLiteral("确定"));
    dialog.setCancelButtonText(QStringLiteral("取消"));
    dialog.setInputMethodHints(Qt::ImhHiddenText | Qt::ImhSensitiveData | Qt::ImhNoPredictiveText);
    return dialog.exec() == QDialog::Accepted && dialog.textValue() == password;
}

}  // namespace tessora
