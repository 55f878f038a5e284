#include "FormWaiting.h"

#include "WizTemplate.h"

#include <QCoreApplication>
#include <QLabel>
#include <QVBoxLayout>

TfrmWaiting *frmWaiting = nullptr;

TfrmWaiting::TfrmWaiting(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frmWaiting"));
    setFixedSize(229, 106);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(13);
    setFont(font);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    pnlMessage = new QLabel(this);
    pnlMessage->setObjectName(QStringLiteral("pnlMessage"));
    pnlMessage->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pnlMessage->setAlignment(Qt::AlignCenter);
    pnlMessage->setWordWrap(true);
    layout->addWidget(pnlMessage);
    lblProgress = new QLabel(this);
    lblProgress->setObjectName(QStringLiteral("lblProgress"));
    lblProgress->setAlignment(Qt::AlignCenter);
    lblProgress->setGeometry(4, height() - 24, width() - 8, 18);
    lblProgress->hide();

    CentreOnScreen(this);
}

void TfrmWaiting::ShowWaitMessage(const QString &message)
{
    pnlMessage->setText(message);
    lblProgress->clear();
    lblProgress->hide();
    show();
    raise();
    QCoreApplication::processEvents();
    repaint();
}

void TfrmWaiting::ShowProgress(const QString &text)
{
    lblProgress->setText(text);
    lblProgress->show();
    lblProgress->raise();
}
