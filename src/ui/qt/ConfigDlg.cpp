#include "ui/qt/ConfigDlg.h"

#include "core/AppState.h"
#include "core/Numbers.h"
#include "ui/qt/Controls.h"

#include <QCloseEvent>
#include <QLocale>
#include <QMessageBox>

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
// the user closes it. On Wayland it is the dialog's child, so the compositor keeps it with
// the dialog; elsewhere it has no owner, as the dialog itself has none.
void ShowMessage(QWidget& dialog, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Kestrel"), text, QMessageBox::Ok,
                    OnWayland() ? &dialog : nullptr);
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
    setFont(DialogFont());
    setAttribute(Qt::WA_DeleteOnClose);
    // A fixed single border with a close box only; an ordinary window, so it has a
    // task-bar button of its own.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    CreateControls(*this, KestrelMain::CONFIG_DLG);
    HotkeyChk = ControlOf<QCheckBox>(*this, "HotkeyChk");
    BasePathText = ControlOf<QLineEdit>(*this, "BasePathText");
    HeightText = ControlOf<QLineEdit>(*this, "HeightText");
    WidthText = ControlOf<QLineEdit>(*this, "WidthText");
    PeriodText = ControlOf<QLineEdit>(*this, "PeriodText");
    UseTimerChk = ControlOf<QCheckBox>(*this, "UseTimerChk");
    CancelBtn = ControlOf<QPushButton>(*this, "CancelBtn");
    OKBtn = ControlOf<QPushButton>(*this, "OKBtn");
    Label5 = ControlOf<QLabel>(*this, "Label5");
    Line1 = ControlOf<QFrame>(*this, "Line1");
    Label4 = ControlOf<QLabel>(*this, "Label4");
    Label3 = ControlOf<QLabel>(*this, "Label3");
    Label2 = ControlOf<QLabel>(*this, "Label2");
    Label1 = ControlOf<QLabel>(*this, "Label1");

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
    PeriodText->setText(QString::fromStdString(
        KestrelMain::PeriodAsTyped(AppState.TimerPeriod, SystemDecimalPoint())));
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
        ShowMessage(*this, QString::fromStdString(verdict.Message));
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
