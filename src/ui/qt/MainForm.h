// Kestrel's main window: the capture directory, the count, the hot-key state, and the
// invisible Timer1 whose ticks make the timed captures. Created by its first reference,
// never hidden; closing it ends the program.
#pragma once

#include "core/seam/MainWindowView.h"
#include "ui/qt/CaptureTimer.h"

#include <QLabel>
#include <QPushButton>
#include <QWidget>

namespace Ui {

class MainForm : public QWidget, public Seam::MainWindowView {
    Q_OBJECT
  public:
    static MainForm& Instance();

    // What the core shows: the labels' captions, the timer and the window.
    void SetDirLblText(const std::string& text) override;
    void SetTotalLblText(const std::string& text) override;
    void SetHotkeyLblText(const std::string& text) override;
    void SetTimer1Interval(std::int32_t milliseconds) override;
    void SetTimer1Enabled(bool enabled) override;
    void Show() override;

    // The controls, for the configuration dialog and the tests.
    QPushButton* AboutBtn;
    QPushButton* CaptureBtn;
    QPushButton* ConfigBtn;
    QPushButton* QuitBtn;
    CaptureTimer* Timer1;
    QLabel* HotkeyLbl;
    QLabel* DirLbl;
    QLabel* TotalLbl;
    QLabel* Label1;

    // Each hands the user's action to the core.
    void CaptureBtn_Click();
    void ConfigBtn_Click();
    void AboutBtn_Click();
    [[noreturn]] void QuitBtn_Click();
    [[noreturn]] void Form_Terminate();
    void Timer1_Timer();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    MainForm();
};

}  // namespace Ui
