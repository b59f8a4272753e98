// The configuration dialog: edits the six settings while the program runs. Modeless and
// without an owner; OK and Cancel only hide it, so it keeps what its controls hold until
// it is shown again; closing it from its title bar destroys it and nothing is stored.
#pragma once

#include "core/ConfigRules.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

namespace Ui {

class ConfigDlg : public QWidget {
    Q_OBJECT
  public:
    // The dialog, created on first use (Form_Load fills it from the current settings).
    static ConfigDlg& Instance();
    // The dialog when one exists: null before the first use and once it was closed.
    static ConfigDlg* Existing();

    QCheckBox* HotkeyChk;
    QLineEdit* BasePathText;
    QLineEdit* HeightText;
    QLineEdit* WidthText;
    QLineEdit* PeriodText;
    QCheckBox* UseTimerChk;
    QPushButton* CancelBtn;
    QPushButton* OKBtn;
    QLabel* Label5;
    QFrame* Line1;
    QLabel* Label4;
    QLabel* Label3;
    QLabel* Label2;
    QLabel* Label1;

    void Form_Load();
    void UseTimerChk_Click();
    void CancelBtn_Click();
    void OKBtn_Click();

    // What the controls hold now, as OK reads them.
    KestrelMain::ConfigEntries Entries() const;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    ConfigDlg();
    void LoadCurrentSettings();
    void EnablePeriod(bool enabled);
};

}  // namespace Ui
