#include "FormPrintProducts.h"

#include "app/ui/Dialogs.h"
#include "app/ui/WizTemplate.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TfrmPrintProducts *frmPrintProducts = nullptr;

TfrmPrintProducts::TfrmPrintProducts(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmPrintProducts"));
    setWindowTitle(QStringLiteral("Corvane Lite"));
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(13);
    setFont(font);
    resize(692, 473);

    auto *layout = new QVBoxLayout(this);
    lblTitle = new QLabel(QStringLiteral("Print Products"), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    layout->addWidget(lblTitle);
    layout->addStretch(1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    btnClose = new QPushButton(QStringLiteral("&Close"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    buttons->addWidget(btnClose);
    layout->addLayout(buttons);
    connect(btnClose, &QPushButton::clicked, this, [this] { RunAction([this] { btnCloseClick(); }, this); });

    CentreOnScreen(this);
}

void TfrmPrintProducts::btnCloseClick()
{
    AskCloseApplication(this);
}

void TfrmPrintProducts::FormClose()
{
    CloseMainForm(this);
}

void TfrmPrintProducts::closeEvent(QCloseEvent *event)
{
    RunAction([this] { FormClose(); }, this);
    event->accept();
}
