// Kestrel's main window: the capture directory, the count, the hot-key state, and the
// invisible Timer1 whose ticks make the timed captures. Created by its first reference,
// never hidden, and closing it ends the program.
#pragma once

#include "ui/CaptureTimer.h"

#include <QLabel>
#include <QPushButton>
#include <QWidget>

namespace Ui {

class MainForm : public QWidget {
    Q_OBJECT
public:
    static MainForm& Instance();
    static bool Exists();

    QLabel* Label1;
    QLabel* DirLbl;
    QLabel* TotalLbl;
    QLabel* HotkeyLbl;
    QPushButton* CaptureBtn;
    QPushButton* ConfigBtn;
    QPushButton* AboutBtn;
    QPushButton* QuitBtn;
    CaptureTimer* Timer1;

    void CaptureBtn_Click();
    void ConfigBtn_Click();
    void AboutBtn_Click();
    void QuitBtn_Click();
    void Form_Terminate();
    void Timer1_Timer();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    MainForm();
};

}  // namespace Ui
