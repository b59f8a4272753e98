// The configuration dialog's message box: the text, one OK button, no icon, caption
// "Kestrel"; returns when the user closes it.
#pragma once

#include <QString>

namespace Platform {

void ShowMessage(const QString& text);

}  // namespace Platform
