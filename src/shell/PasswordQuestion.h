#pragma once

#include <QString>

class QWidget;

namespace tessora {

// Asks for the administrator password ("Password", "请输入系统密码:", OK and Cancel). True when
// confirmed with exactly `password` (an empty text matches an empty password).
bool PasswordQuestion(QWidget* parent, const QString& password);

}  // namespace tessora
