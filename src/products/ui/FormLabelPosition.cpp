#include "products/ui/FormLabelPosition.h"
#include "products/LabelShift.h"
#include "products/RBBottleLabels.h"
#include "app/ui/Dialogs.h"
#include "app/ui/Help.h"

#include <QHBoxLayout>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGuiApplication>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>

namespace {
LabelPositionDialogHook &DialogHook()
{
    static LabelPositionDialogHook hook;
    return hook;
}
} // namespace

TfrmLabelPosition::TfrmLabelPosition(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmLabelPosition"));
    setWindowTitle(QStringLiteral("Starting Label Position"));
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(13);
    setFont(f);

    Label1 = new QLabel(QStringLiteral("Starting Page Position"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    edtPosition = new QLineEdit(QStringLiteral("1"), this);
    edtPosition->setObjectName(QStringLiteral("edtPosition"));
    Label1->setBuddy(edtPosition);
    lblLabelCount = new QLabel(QStringLiteral("# of Labels to Print"), this);
    lblLabelCount->setObjectName(QStringLiteral("lblLabelCount"));
    edtLabelCount = new QLineEdit(this);
    edtLabelCount->setObjectName(QStringLiteral("edtLabelCount"));
    edtLabelCount->setFocusPolicy(Qt::NoFocus);   // shown, not typed

    // OK, Cancel and Help in this order on every desktop (a button box would reorder them
    // by platform), so that Tab walks them as they are seen.
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    const auto button = [this, buttons](const QString &text, const char *name) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        buttons->addWidget(b);
        return b;
    };
    BitBtn1 = button(QStringLiteral("OK"), "BitBtn1");
    BitBtn1->setDefault(true);
    BitBtn2 = button(QStringLiteral("Cancel"), "BitBtn2");
    BitBtn3 = button(QStringLiteral("&Help"), "BitBtn3");
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    connect(BitBtn3, &QPushButton::clicked, this, [this] { BitBtn3Click(); });
    auto *helpKey = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(helpKey, &QShortcut::activated, this, [this] { BitBtn3Click(); });

    auto *form = new QFormLayout;
    form->addRow(Label1, edtPosition);
    form->addRow(lblLabelCount, edtLabelCount);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(CreateShiftControls());
    layout->addLayout(buttons);
    // Tab follows the eye: position, the two shifts, then OK, Cancel and Help.
    setTabOrder(edtPosition, spnShiftRight);
    setTabOrder(spnShiftRight, spnShiftDown);
    setTabOrder(spnShiftDown, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);
    setTabOrder(BitBtn2, BitBtn3);
    edtLabelCount->setAccessibleName(lblLabelCount->text());
    edtPosition->setAccessibleName(Label1->text());
    edtPosition->setAccessibleDescription(QStringLiteral("1 to 10"));
    FormCreate();
    adjustSize();
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

const QString TfrmLabelPosition::PositionsHelpText = QStringLiteral(
    "A label sheet holds ten labels in two columns of five.\r\n"
    "Positions 1 to 5 run from top to bottom in the left column, "
    "positions 6 to 10 from top to bottom in the right column.\r\n"
    "Type the position of the first unused label of a partly used sheet.");
QLayout *TfrmLabelPosition::CreateShiftControls()
{
    auto spin = [this](const QString &name) {
        auto *b = new QDoubleSpinBox(this);
        b->setObjectName(name);
        b->setRange(-TLabelShift::Limit, TLabelShift::Limit);
        b->setSingleStep(0.1);
        b->setDecimals(1);
        b->setSuffix(QStringLiteral(" mm"));
        return b;
    };
    lblShiftRight = new QLabel(QStringLiteral("Shift right"), this);
    lblShiftRight->setObjectName(QStringLiteral("lblShiftRight"));
    spnShiftRight = spin(QStringLiteral("spnShiftRight"));
    lblShiftRight->setBuddy(spnShiftRight);
    lblShiftDown = new QLabel(QStringLiteral("Shift down"), this);
    lblShiftDown->setObjectName(QStringLiteral("lblShiftDown"));
    spnShiftDown = spin(QStringLiteral("spnShiftDown"));
    lblShiftDown->setBuddy(spnShiftDown);
    lblShiftPrinter = new QLabel(this);
    lblShiftPrinter->setObjectName(QStringLiteral("lblShiftPrinter"));
    auto *form = new QFormLayout;
    form->addRow(lblShiftPrinter);
    form->addRow(lblShiftRight, spnShiftRight);
    form->addRow(lblShiftDown, spnShiftDown);
    return form;
}

void TfrmLabelPosition::LoadShift(const QString &printerName)
{
    ShiftPrinter = printerName;
    const TLabelShift s = LoadLabelShift(printerName);
    spnShiftRight->setValue(s.RightMm);
    spnShiftDown->setValue(s.DownMm);
    lblShiftPrinter->setText(printerName.isEmpty() ? QStringLiteral("Sheet calibration")
                                                   : QStringLiteral("Sheet calibration for ") + printerName);
}

void TfrmLabelPosition::SaveShift() const
{
    SaveLabelShift(ShiftPrinter, {spnShiftRight->value(), spnShiftDown->value()});
}

void TfrmLabelPosition::FormCreate()
{
    HelpContext = 135;
    setWhatsThis(QString());
}

void TfrmLabelPosition::BitBtn3Click()
{
    if (ShowUserGuide(QStringLiteral("The label sheet")))
        return;
    // No guide (or nothing to show it with): say where the positions are.
    MessageDlg(PositionsHelpText, mtInformation, mbOK, this);
}

void TfrmLabelPosition::accept()
{
    // A position that is no label of the sheet keeps the dialog open with the text selected,
    // so that the labels are not lost to a typing error.
    const QString text = edtPosition->text();
    if (!RunAction([&text] { TrptBottleLabels::CheckedStartPosition(text); }, this)) {
        edtPosition->setFocus();
        edtPosition->selectAll();
        return;
    }
    QDialog::accept();
}

namespace {

bool AskLabelPosition(int labelCount, QString &position)
{
    TfrmLabelPosition dlg;
    dlg.edtLabelCount->setReadOnly(true);
    QPalette pal = dlg.edtLabelCount->palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::Button));
    dlg.edtLabelCount->setPalette(pal);
    dlg.edtLabelCount->setFocusPolicy(Qt::NoFocus);
    dlg.edtLabelCount->setText(QString::number(labelCount));
    dlg.edtPosition->selectAll();
    dlg.edtPosition->setFocus();
    dlg.LoadShift(LabelPrinterName());
    const int result = DialogHook() ? DialogHook()(dlg) : dlg.exec();
    if (result != QDialog::Accepted)
        return false;
    dlg.SaveShift();
    position = dlg.edtPosition->text();
    return true;
}

} // namespace

void InstallLabelPositionDialog()
{
    SetLabelPositionPrompt(AskLabelPosition);
    // The preview shows the labels as they will land on the printer they last went to.
    SetLabelShiftSource([](const QString &printerName) {
        const bool named = !printerName.isEmpty() && printerName != QLatin1String("Default");
        return LoadLabelShift(named ? printerName : LabelPrinterName());
    });
}

void SetLabelPositionDialogHook(LabelPositionDialogHook hook)
{
    DialogHook() = std::move(hook);
}
