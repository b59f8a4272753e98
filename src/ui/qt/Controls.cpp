#include "ui/qt/Controls.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <limits>
#include <vector>

namespace Ui {

namespace {

using KestrelMain::ControlKind;
using KestrelMain::ControlLayout;

// Buttons and check boxes would read "&" as an access key; doubling it shows it as typed.
QString WithoutAccessKeys(const char* caption) {
    QString escaped = QString::fromUtf8(caption);
    escaped.replace(u'&', QStringLiteral("&&"));
    return escaped;
}

QWidget* MakeControl(QWidget& window, const ControlLayout& layout) {
    switch (layout.Kind) {
        case ControlKind::Button: {
            // Enter and Escape do nothing of their own.
            auto* button = new QPushButton(WithoutAccessKeys(layout.Caption), &window);
            button->setAutoDefault(false);
            button->setDefault(false);
            return button;
        }
        case ControlKind::Label: {
            // Plain text, so a path that looks like markup is shown as it is.
            auto* label = new QLabel(&window);
            label->setTextFormat(Qt::PlainText);
            label->setText(QString::fromUtf8(layout.Caption));
            return label;
        }
        case ControlKind::TextBox: {
            // Free text: nothing limits what or how much is typed.
            auto* text = new QLineEdit(&window);
            text->setMaxLength(std::numeric_limits<int>::max());
            return text;
        }
        case ControlKind::CheckBox:
            return new QCheckBox(WithoutAccessKeys(layout.Caption), &window);
        case ControlKind::Line: {
            auto* line = new QFrame(&window);
            line->setFrameShape(QFrame::HLine);
            line->setFrameShadow(QFrame::Plain);
            line->setLineWidth(1);
            return line;
        }
    }
    return new QWidget(&window);
}

}  // namespace

void CreateControls(QWidget& window, const KestrelMain::WindowLayout& layout) {
    window.setObjectName(QString::fromLatin1(layout.Name));
    window.setWindowTitle(QString::fromUtf8(layout.Caption));
    std::vector<std::pair<int, QWidget*>> focusOrder;
    for (const ControlLayout& control : layout.Controls) {
        QWidget* widget = MakeControl(window, control);
        widget->setObjectName(QString::fromLatin1(control.Name));
        widget->setGeometry(PixelsOf(control.Twips));
        widget->setEnabled(control.Enabled);
        if (!control.Visible)
            widget->hide();
        if (control.TakesFocus())
            focusOrder.emplace_back(control.TabIndex, widget);
    }
    window.setFixedSize(ClientPixels(layout));

    std::sort(focusOrder.begin(), focusOrder.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < focusOrder.size(); ++i)
        QWidget::setTabOrder(focusOrder[i - 1].second, focusOrder[i].second);
    if (!focusOrder.empty())
        focusOrder.front().second->setFocus();
}

}  // namespace Ui
