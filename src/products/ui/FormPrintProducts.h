#pragma once
#include <QWidget>

class QLabel;
class QPushButton;

// The last page: print inputs and the products to print. Not built on the wizard frame.
class TfrmPrintProducts : public QWidget
{
    Q_OBJECT
public:
    explicit TfrmPrintProducts(QWidget *parent = nullptr);

    QLabel *lblTitle;
    QPushButton *btnClose;

protected:
    virtual void btnCloseClick();
    virtual void FormClose();
    void closeEvent(QCloseEvent *event) override;
};

extern TfrmPrintProducts *frmPrintProducts;
