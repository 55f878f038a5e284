#pragma once
#include "products/PrintProducts.h"

#include <QWidget>
#include <memory>

class QAbstractTableModel;
class QCheckBox;
class QDateEdit;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class QTreeView;
class TSelectedListModel;

// The last page: the selected members, the values printed on the products, the product
// boxes, and Print / Close.
class TfrmPrintProducts : public QWidget
{
    Q_OBJECT
public:
    explicit TfrmPrintProducts(QWidget *parent = nullptr);
    ~TfrmPrintProducts() override;

    QFrame *pnlDescription;
    QLabel *lblTitle;
    QLabel *Label3;
    QTreeView *lvSelected;
    QWidget *pnlInput;
    QLabel *lblBac;
    QLineEdit *edtBAC;
    QLabel *lblServiceDesignator;
    QLabel *lblUIC;
    QLineEdit *edtUIC;
    QLabel *Label11;
    QPlainTextEdit *mmBlock1;
    QLabel *Label10;
    QPlainTextEdit *mmBlock2;
    QLabel *Label1;
    QDateEdit *dtpCollectionDate;
    QLabel *Label2;
    QLineEdit *edtBatchNumber;
    QCheckBox *cbGroupByGender;
    QWidget *pnlBatchRange;
    QLabel *lblBatchRange;
    QLineEdit *edtBatchStart;
    QLabel *Label5;
    QLineEdit *edtBatchEnd;
    QGroupBox *GroupBox;
    QCheckBox *cbNotificationCopy;
    QCheckBox *cbWorkingCopy;
    QCheckBox *cbTestingRegister;
    QCheckBox *cb2624Front;
    QCheckBox *cb2624Back;
    QCheckBox *cbBottleLabels;
    QCheckBox *cbSelectionRecord;
    QPushButton *btnPrint;
    QPushButton *btnClose;
    QStatusBar *StatusBar;
    QLabel *StatusPanel0;   // premise code
    QLabel *StatusPanel1;   // member count

    // The print operations of the products; tests put a recorder in their place.
    TProductPrinters Printers;

    // Sheets and pipelines of the last print run.
    TPrintProducts &Products() { return *m_products; }
    QAbstractTableModel *SelectedModel() const;

    // The values typed and ticked on the page, as printing takes them.
    TPrintInputs ReadInputs() const;

    // The question asked before printing products for members without a valid SSN.
    static QString SsnWarning(const QStringList &names);

    // Event handlers; every one runs through RunAction.
    void FormShow();
    void cbBottleLabelsClick();
    void btnPrintClick();
    void btnCloseClick();
    void FormClose();
    void lvSelectedColumnClick(int column);
    void cbGroupByGenderClick();
    void FormResize();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildControls();
    void limitMemo(QPlainTextEdit *memo);

    std::unique_ptr<TSelectedMembers> m_members;
    std::unique_ptr<TPrintProducts> m_products;
    TSelectedListModel *m_model = nullptr;
    QList<QCheckBox *> m_productBoxes;
};

extern TfrmPrintProducts *frmPrintProducts;
