#pragma once
#include <QDialog>
#include <functional>

class QDoubleSpinBox;
class QLabel;
class QLayout;
class QLineEdit;
class QPushButton;

// "Starting Label Position": where on the first label sheet printing starts.
class TfrmLabelPosition : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmLabelPosition(QWidget *parent = nullptr);

    QLabel *Label1;
    QLineEdit *edtPosition;
    QLabel *lblLabelCount;
    QLineEdit *edtLabelCount;
    QPushButton *BitBtn1;   // OK
    QPushButton *BitBtn2;   // Cancel
    QPushButton *BitBtn3;   // Help
    int HelpContext = 135;
    // Calibration of the sheet, kept per printer: every label moves by these millimetres.
    QLabel *lblShiftRight;
    QDoubleSpinBox *spnShiftRight;
    QLabel *lblShiftDown;
    QDoubleSpinBox *spnShiftDown;
    QLabel *lblShiftPrinter;
    QString ShiftPrinter;   // the printer whose shift the dialog shows
    void LoadShift(const QString &printerName);
    void SaveShift() const;

    void FormCreate();
    // Opens the user guide where one is installed, else tells where the positions are.
    void BitBtn3Click();
    // OK: only a position on the sheet closes the dialog.
    void accept() override;

    static const QString PositionsHelpText;

private:
    QLayout *CreateShiftControls();
};

// Installs the dialog as the labels' position prompt (the report asks through it).
void InstallLabelPositionDialog();

// Test seam: called with the dialog just before it would be shown modally; answers
// the dialog's result instead of showing it.
using LabelPositionDialogHook = std::function<int(TfrmLabelPosition &dialog)>;
void SetLabelPositionDialogHook(LabelPositionDialogHook hook);
