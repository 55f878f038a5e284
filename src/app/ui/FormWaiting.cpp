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

    CentreOnScreen(this);
}

void TfrmWaiting::ShowWaitMessage(const QString &message)
{
    pnlMessage->setText(message);
    show();
    raise();
    QCoreApplication::processEvents();
    repaint();
}
