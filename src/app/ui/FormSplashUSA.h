#pragma once
#include <QWidget>

class QLabel;
class QTimer;

// The splash screen: stays on top of page 1 until tmrClose first fires.
class TfrmSplash : public QWidget
{
    Q_OBJECT
public:
    explicit TfrmSplash(QWidget *parent = nullptr);

    QLabel *pnlHeader;
    QLabel *ImgUSA;
    QLabel *Label1;
    QLabel *lblVersion;
    QTimer *tmrClose;

protected:
    void showEvent(QShowEvent *event) override;
    virtual void FormShow();
    virtual void tmrCloseTimer();
};

extern TfrmSplash *frmSplash;
