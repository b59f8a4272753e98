// Work for when a window is first on screen: a desktop's question asked then comes up in
// front of it.
#pragma once

#include <QWidget>

#include <functional>

namespace Ui {

// Runs `then` once, when the window is first on screen, or after a while if it never is.
void WhenExposed(QWidget& widget, std::function<void()> then);

}  // namespace Ui
