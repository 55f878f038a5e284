#pragma once
#include <QWidget>

class QLabel;

// The borderless please-wait window shown around long work.
class TfrmWaiting : public QWidget
{
    Q_OBJECT
public:
    explicit TfrmWaiting(QWidget *parent = nullptr);

    QLabel *pnlMessage;
    QLabel *lblProgress;   // a line under the message, hidden until there is progress

    // Shows the message and lets the window paint before the caller's long work starts.
    // The caller closes the window when the work ends, also when it fails.
    void ShowWaitMessage(const QString &message);
    // Shows how far the work has come, under the message.
    void ShowProgress(const QString &text);
};

extern TfrmWaiting *frmWaiting;
