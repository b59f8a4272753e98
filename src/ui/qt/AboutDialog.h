// The About window: the title line and a button to the maker's web page. Modeless, without
// an owner and without a task-bar button; its buttons only hide it, closing it from its
// title bar destroys it.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QString>
#include <QWidget>

namespace Ui {

class AboutDialog : public QWidget {
    Q_OBJECT
  public:
    // The window, created on first use.
    static AboutDialog& Instance();
    // The window when one exists: null before the first use and once it was closed.
    static AboutDialog* Existing();

    QPushButton* Command1;
    QPushButton* OKButton;
    QLabel* Label1;

    void Command1_Click();
    void OKButton_Click();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    AboutDialog();
};

}  // namespace Ui
