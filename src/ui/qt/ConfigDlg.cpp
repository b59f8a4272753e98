#include "ui/qt/ConfigDlg.h"

#include "core/AppState.h"
#include "core/Numbers.h"
#include "ui/qt/Controls.h"

#include <QCloseEvent>
#include <QLocale>
#include <QMessageBox>

#include <limits>

namespace Ui {

using KestrelMain::AppState;

namespace {

QPointer<ConfigDlg> instance;

std::int16_t CheckValue(const QCheckBox* box) {
    return box->isChecked() ? 1 : 0;
}

// The system locale's decimal separator as UTF-8, empty when it is not one character.
std::string SystemDecimalPoint() {
    const QString point = QLocale::system().decimalPoint();
    return point.size() == 1 ? point.toStdString() : std::string();
}

// The dialog's message: the text, one OK button, no icon, caption "Kestrel"; returns when
// the user closes it.
void ShowMessage(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Kestrel"), text, QMessageBox::Ok);
    box.setObjectName(QStringLiteral("KestrelMessage"));
    box.exec();
}

}  // namespace

ConfigDlg& ConfigDlg::Instance() {
    if (instance.isNull()) {
        instance = new ConfigDlg;
        instance->Form_Load();
    }
    return *instance;
}

ConfigDlg* ConfigDlg::Existing() {
    return instance.data();
}

ConfigDlg::ConfigDlg() : QWidget(nullptr) {
    setObjectName(QStringLiteral("ConfigDlg"));
    setWindowTitle(QStringLiteral("Screen Capture Configuration"));
    setFont(DialogFont());
    setAttribute(Qt::WA_DeleteOnClose);
    // A fixed single border with a close box only; an ordinary window, so it has a
    // task-bar button of its own.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    HotkeyChk = MakeCheckBox(
        this, "HotkeyChk",
        QStringLiteral(
            "Use Ctrl-F as \"Capture Now\" Hotkey (Change will take effect on next launch)"),
        {240, 2520, 5895, 255});
    BasePathText = MakeTextBox(this, "BasePathText", {240, 1560, 5775, 285});
    HeightText = MakeTextBox(this, "HeightText", {5280, 2040, 735, 285});
    WidthText = MakeTextBox(this, "WidthText", {3480, 2040, 735, 285});
    PeriodText = MakeTextBox(this, "PeriodText", {2640, 600, 855, 285});
    UseTimerChk =
        MakeCheckBox(this, "UseTimerChk", QStringLiteral("Make Captures Automatically using Timer"),
                     {240, 120, 3495, 255});
    CancelBtn = MakeButton(this, "CancelBtn", QStringLiteral("Cancel"), {4920, 600, 1095, 375});
    OKBtn = MakeButton(this, "OKBtn", QStringLiteral("OK"), {4920, 120, 1095, 375});
    Label5 =
        MakeLabel(this, "Label5", QStringLiteral("Store Captures Here:"), {240, 1200, 5295, 255});

    // A one-pixel rule from (240, 1080) to (6000, 1080) twips.
    Line1 = new QFrame(this);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Plain);
    Line1->setLineWidth(1);
    Line1->setGeometry(TwipsToPixels(240), TwipsToPixels(1080),
                       TwipsToPixels(6000) - TwipsToPixels(240), 1);

    Label4 = MakeLabel(this, "Label4", QStringLiteral("Height:"), {4680, 2040, 615, 255});
    Label3 = MakeLabel(this, "Label3", QStringLiteral("Width:"), {2880, 2040, 615, 255});
    Label2 = MakeLabel(this, "Label2", QStringLiteral("Save Captures Scaled to:"),
                       {240, 2040, 1935, 255});
    Label1 = MakeLabel(this, "Label1", QStringLiteral("Period of Captures (in seconds):"),
                       {240, 600, 2415, 255});
    setFixedSize(TwipsToPixels(6255), TwipsToPixels(2895));

    // Free text: nothing limits what or how much is typed.
    for (QLineEdit* text : {BasePathText, HeightText, WidthText, PeriodText}) {
        text->setMaxLength(std::numeric_limits<int>::max());
    }

    setTabOrder(OKBtn, CancelBtn);
    setTabOrder(CancelBtn, UseTimerChk);
    setTabOrder(UseTimerChk, PeriodText);
    setTabOrder(PeriodText, WidthText);
    setTabOrder(WidthText, HeightText);
    setTabOrder(HeightText, BasePathText);
    setTabOrder(BasePathText, HotkeyChk);
    OKBtn->setFocus();

    connect(UseTimerChk, &QCheckBox::clicked, this, &ConfigDlg::UseTimerChk_Click);
    connect(CancelBtn, &QPushButton::clicked, this, &ConfigDlg::CancelBtn_Click);
    connect(OKBtn, &QPushButton::clicked, this, &ConfigDlg::OKBtn_Click);
}

void ConfigDlg::Form_Load() {
    LoadCurrentSettings();
}

void ConfigDlg::LoadCurrentSettings() {
    // A two-state box shows a stored value other than 0 or 1 as clear: everywhere else only
    // exactly 1 counts as on.
    UseTimerChk->setChecked(AppState.UseTimer == 1);
    PeriodText->setText(QString::fromStdString(KestrelMain::SingleToText(AppState.TimerPeriod)));
    WidthText->setText(QString::number(AppState.OutputWidth));
    HeightText->setText(QString::number(AppState.OutputHeight));
    BasePathText->setText(QString::fromStdString(AppState.BasePath));
    HotkeyChk->setChecked(AppState.UseHotkey == 1);
    EnablePeriod(CheckValue(UseTimerChk) != 0);
}

void ConfigDlg::EnablePeriod(bool enabled) {
    PeriodText->setEnabled(enabled);
    Label1->setEnabled(enabled);
}

void ConfigDlg::UseTimerChk_Click() {
    EnablePeriod(CheckValue(UseTimerChk) == 1);
}

void ConfigDlg::CancelBtn_Click() {
    LoadCurrentSettings();
    hide();
}

KestrelMain::ConfigEntries ConfigDlg::Entries() const {
    KestrelMain::ConfigEntries entries;
    entries.WidthText = WidthText->text().toStdString();
    entries.HeightText = HeightText->text().toStdString();
    entries.PeriodText = PeriodText->text().toStdString();
    entries.BasePathText = BasePathText->text().toStdString();
    entries.UseTimerValue = CheckValue(UseTimerChk);
    entries.UseHotkeyValue = CheckValue(HotkeyChk);
    entries.DecimalPoint = SystemDecimalPoint();
    return entries;
}

void ConfigDlg::OKBtn_Click() {
    const KestrelMain::ConfigVerdict verdict = KestrelMain::ConfigOk(Entries());
    if (!verdict.Accepted()) {
        // The dialog stays as it is, with the texts as typed; nothing is stored or applied.
        ShowMessage(QString::fromStdString(verdict.Message));
        return;
    }
    // The base directory as stored, with the separator OK may have added.
    if (verdict.Changes.BasePathChanged)
        BasePathText->setText(QString::fromStdString(verdict.Changes.BasePath));
    hide();
}

void ConfigDlg::closeEvent(QCloseEvent* event) {
    // Closed from its title bar: the dialog is destroyed once control is back in the event
    // loop, and the next ConfigBtn click must already find no dialog and create a new one.
    if (instance == this)
        instance = nullptr;
    event->accept();
}

}  // namespace Ui
