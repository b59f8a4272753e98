#include "ui/qt/MainForm.h"

#include "core/CaptureSequence.h"
#include "core/KestrelMain.h"
#include "ui/qt/AboutDialog.h"
#include "ui/qt/ConfigDlg.h"
#include "ui/qt/Controls.h"

#include <QCloseEvent>

namespace Ui {

namespace {
// Lives until the program ends, which never runs its destructor.
MainForm* instance = nullptr;
}  // namespace

MainForm& MainForm::Instance() {
    if (instance == nullptr)
        instance = new MainForm;
    return *instance;
}

void MainForm::SetDirLblText(const std::string& text) {
    DirLbl->setText(QString::fromStdString(text));
}

void MainForm::SetTotalLblText(const std::string& text) {
    TotalLbl->setText(QString::fromStdString(text));
}

void MainForm::SetHotkeyLblText(const std::string& text) {
    HotkeyLbl->setText(QString::fromStdString(text));
}

void MainForm::SetTimer1Interval(std::int32_t milliseconds) {
    Timer1->SetInterval(milliseconds);
}

void MainForm::SetTimer1Enabled(bool enabled) {
    Timer1->SetEnabled(enabled);
}

void MainForm::Show() {
    show();
}

MainForm::MainForm() : QWidget(nullptr) {
    setFont(DialogFont());
    // A fixed single border with a minimize box but no maximize box.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    CreateControls(*this, KestrelMain::MAIN_FORM);
    AboutBtn = ControlOf<QPushButton>(*this, "AboutBtn");
    CaptureBtn = ControlOf<QPushButton>(*this, "CaptureBtn");
    ConfigBtn = ControlOf<QPushButton>(*this, "ConfigBtn");
    QuitBtn = ControlOf<QPushButton>(*this, "QuitBtn");
    HotkeyLbl = ControlOf<QLabel>(*this, "HotkeyLbl");
    DirLbl = ControlOf<QLabel>(*this, "DirLbl");
    TotalLbl = ControlOf<QLabel>(*this, "TotalLbl");
    Label1 = ControlOf<QLabel>(*this, "Label1");
    Timer1 = new CaptureTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));

    connect(CaptureBtn, &QPushButton::clicked, this, &MainForm::CaptureBtn_Click);
    connect(ConfigBtn, &QPushButton::clicked, this, &MainForm::ConfigBtn_Click);
    connect(AboutBtn, &QPushButton::clicked, this, &MainForm::AboutBtn_Click);
    connect(QuitBtn, &QPushButton::clicked, this, &MainForm::QuitBtn_Click);
    connect(Timer1, &CaptureTimer::Tick, this, &MainForm::Timer1_Timer);
}

void MainForm::CaptureBtn_Click() {
    KestrelMain::MakeCaptureFromButton();
}

void MainForm::ConfigBtn_Click() {
    ShowInFront(ConfigDlg::Instance());
}

void MainForm::AboutBtn_Click() {
    ShowInFront(AboutDialog::Instance());
}

void MainForm::QuitBtn_Click() {
    KestrelMain::Quit();
}

void MainForm::Form_Terminate() {
    QuitBtn_Click();
}

void MainForm::Timer1_Timer() {
    KestrelMain::Timer1Tick();
}

void MainForm::closeEvent(QCloseEvent* event) {
    event->accept();
    Form_Terminate();
}

}  // namespace Ui
