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

bool MainForm::Exists() {
    return instance != nullptr;
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
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Screen Capture Utility"));
    setFont(DialogFont());
    // A fixed single border with a minimize box but no maximize box.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);

    AboutBtn = MakeButton(this, "AboutBtn", QStringLiteral("About"), {3360, 1440, 855, 495});
    CaptureBtn =
        MakeButton(this, "CaptureBtn", QStringLiteral("Make Capture Now"), {240, 1440, 1815, 495});
    ConfigBtn = MakeButton(this, "ConfigBtn", QStringLiteral("Configure"), {2160, 1440, 1095, 495});
    QuitBtn = MakeButton(this, "QuitBtn", QStringLiteral("Quit"), {5280, 1440, 735, 495});
    Timer1 = new CaptureTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    HotkeyLbl =
        MakeLabel(this, "HotkeyLbl", QStringLiteral("Hot Key Disabled"), {240, 1080, 5895, 255});
    DirLbl =
        MakeLabel(this, "DirLbl", QStringLiteral("No Directory Defined"), {480, 360, 5535, 255});
    TotalLbl = MakeLabel(this, "TotalLbl", QStringLiteral("Total captures saved: 0"),
                         {240, 720, 2415, 255});
    Label1 = MakeLabel(this, "Label1",
                       QStringLiteral("This program will save screen captures into the directory:"),
                       {240, 120, 4095, 255});
    setFixedSize(TwipsToPixels(6270), TwipsToPixels(2130));

    setTabOrder(QuitBtn, ConfigBtn);
    setTabOrder(ConfigBtn, CaptureBtn);
    setTabOrder(CaptureBtn, AboutBtn);
    QuitBtn->setFocus();

    connect(CaptureBtn, &QPushButton::clicked, this, &MainForm::CaptureBtn_Click);
    connect(ConfigBtn, &QPushButton::clicked, this, &MainForm::ConfigBtn_Click);
    connect(AboutBtn, &QPushButton::clicked, this, &MainForm::AboutBtn_Click);
    connect(QuitBtn, &QPushButton::clicked, this, &MainForm::QuitBtn_Click);
    connect(Timer1, &CaptureTimer::Tick, this, &MainForm::Timer1_Timer);
}

void MainForm::CaptureBtn_Click() {
    KestrelMain::MakeCapture();
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
