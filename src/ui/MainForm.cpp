#include "ui/MainForm.h"

#include "capture/MakeCapture.h"
#include "core/AppState.h"
#include "platform/Process.h"

#include <QCloseEvent>

namespace Ui {

using KestrelMain::AppState;

namespace {
MainForm* instance = nullptr;
}

MainForm& MainForm::Instance() {
    if (instance == nullptr) instance = new MainForm;
    return *instance;
}

bool MainForm::Exists() { return instance != nullptr; }

MainForm::MainForm() : QWidget(nullptr) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Screen Capture Utility"));
    Label1 = new QLabel(
        QStringLiteral("This program will save screen captures into the directory:"), this);
    DirLbl = new QLabel(QStringLiteral("No Directory Defined"), this);
    TotalLbl = new QLabel(QStringLiteral("Total captures saved: 0"), this);
    HotkeyLbl = new QLabel(QStringLiteral("Hot Key Disabled"), this);
    CaptureBtn = new QPushButton(QStringLiteral("Make Capture Now"), this);
    ConfigBtn = new QPushButton(QStringLiteral("Configure"), this);
    AboutBtn = new QPushButton(QStringLiteral("About"), this);
    QuitBtn = new QPushButton(QStringLiteral("Quit"), this);
    Timer1 = new CaptureTimer(this);

    Label1->setObjectName(QStringLiteral("Label1"));
    DirLbl->setObjectName(QStringLiteral("DirLbl"));
    TotalLbl->setObjectName(QStringLiteral("TotalLbl"));
    HotkeyLbl->setObjectName(QStringLiteral("HotkeyLbl"));
    CaptureBtn->setObjectName(QStringLiteral("CaptureBtn"));
    ConfigBtn->setObjectName(QStringLiteral("ConfigBtn"));
    AboutBtn->setObjectName(QStringLiteral("AboutBtn"));
    QuitBtn->setObjectName(QStringLiteral("QuitBtn"));

    // Layout in twips, 15 to the device-independent pixel.
    Label1->setGeometry(16, 8, 273, 17);
    DirLbl->setGeometry(32, 24, 369, 17);
    TotalLbl->setGeometry(16, 48, 161, 17);
    HotkeyLbl->setGeometry(16, 72, 393, 17);
    CaptureBtn->setGeometry(16, 96, 121, 33);
    ConfigBtn->setGeometry(144, 96, 73, 33);
    AboutBtn->setGeometry(224, 96, 57, 33);
    QuitBtn->setGeometry(352, 96, 49, 33);
    setFixedSize(418, 142);

    connect(CaptureBtn, &QPushButton::clicked, this, &MainForm::CaptureBtn_Click);
    connect(ConfigBtn, &QPushButton::clicked, this, &MainForm::ConfigBtn_Click);
    connect(AboutBtn, &QPushButton::clicked, this, &MainForm::AboutBtn_Click);
    connect(QuitBtn, &QPushButton::clicked, this, &MainForm::QuitBtn_Click);
    connect(Timer1, &CaptureTimer::Tick, this, &MainForm::Timer1_Timer);
}

void MainForm::CaptureBtn_Click() { Capture::MakeCapture(); }

void MainForm::ConfigBtn_Click() {}

void MainForm::AboutBtn_Click() {}

void MainForm::QuitBtn_Click() {
    AppState.QuitRequested = KestrelMain::STATE_TRUE;
    Platform::EndProgramNow();
}

void MainForm::Form_Terminate() { QuitBtn_Click(); }

void MainForm::Timer1_Timer() {
    if (AppState.UseTimer != 0) {
        Capture::MakeCapture();
    } else {
        Timer1->SetEnabled(false);
    }
}

void MainForm::closeEvent(QCloseEvent* event) {
    event->accept();
    Form_Terminate();
}

}  // namespace Ui
