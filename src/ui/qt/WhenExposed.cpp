#include "ui/qt/WhenExposed.h"

#include <QEvent>
#include <QTimer>
#include <QWindow>

#include <chrono>
#include <utility>

namespace Ui {

void WhenExposed(QWidget& widget, std::function<void()> then) {
    class Watcher final : public QObject {
      public:
        explicit Watcher(std::function<void()> then) : then_(std::move(then)) {
            QTimer::singleShot(std::chrono::seconds(2), this, [this] { Run(); });
        }
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Expose)
                QTimer::singleShot(0, this, [this] { Run(); });
            return false;
        }

      private:
        void Run() {
            if (const auto then = std::exchange(then_, nullptr)) {
                then();
                deleteLater();
            }
        }
        std::function<void()> then_;
    };
    QWindow* window = widget.windowHandle();
    if (window == nullptr || window->isExposed()) {
        then();
        return;
    }
    window->installEventFilter(new Watcher(std::move(then)));
}

}  // namespace Ui
