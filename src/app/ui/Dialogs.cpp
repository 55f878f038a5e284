#include "Dialogs.h"

#include "app/Exceptions.h"
#include "app/VORNUtils.h"

#include <QMessageBox>
#include <QPushButton>

namespace {
MessageDlgHook g_messageHook;
ErrorBoxHook g_errorHook;
}

void SetMessageDlgHook(MessageDlgHook hook) { g_messageHook = std::move(hook); }
void SetErrorBoxHook(ErrorBoxHook hook) { g_errorHook = std::move(hook); }

int MessageDlg(const QString &message, TMsgDlgType type, TMsgDlgButtons buttons, QWidget *parent,
               TModalResult defaultResult)
{
    if (g_messageHook)
        return g_messageHook(message, type, buttons);
    QMessageBox::Icon icon = QMessageBox::Warning;
    QString caption = QStringLiteral("Warning");
    switch (type) {
    case mtWarning: break;
    case mtError: icon = QMessageBox::Critical; caption = QStringLiteral("Error"); break;
    case mtInformation: icon = QMessageBox::Information; caption = QStringLiteral("Information"); break;
    case mtConfirmation: icon = QMessageBox::Question; caption = QStringLiteral("Confirm"); break;
    }
    QMessageBox box(icon, caption, message, QMessageBox::NoButton, parent);
    switch (buttons) {
    case mbOK:
        box.addButton(QMessageBox::Ok);
        break;
    case mbYesNo: {
        // Enter answers Yes unless told otherwise: the questions confirm what the user just
        // asked for.
        QPushButton *yes = box.addButton(QMessageBox::Yes);
        QPushButton *no = box.addButton(QMessageBox::No);
        box.setDefaultButton(defaultResult == mrNo ? no : yes);
        break;
    }
    case mbOKCancel: {
        QPushButton *ok = box.addButton(QMessageBox::Ok);
        QPushButton *cancel = box.addButton(QMessageBox::Cancel);
        box.setDefaultButton(defaultResult == mrCancel ? cancel : ok);
        break;
    }
    }
    switch (box.exec()) {
    case QMessageBox::Ok: return mrOk;
    case QMessageBox::Yes: return mrYes;
    case QMessageBox::No: return mrNo;
    case QMessageBox::Cancel: return mrCancel;
    default: return buttons == mbYesNo ? mrNo : mrCancel;
    }
}

void ShowErrorBox(const QString &message, QWidget *parent)
{
    const QString text = ErrorBoxText(message);
    if (g_errorHook) {
        g_errorHook(text);
        return;
    }
    QMessageBox box(QMessageBox::Critical, AppTitle, text, QMessageBox::Ok, parent);
    box.exec();
}

bool RunAction(const std::function<void()> &action, QWidget *parent)
{
    try {
        action();
        return true;
    } catch (const Exception &e) {
        ShowErrorBox(e.message(), parent);
    } catch (const std::exception &e) {
        ShowErrorBox(QString::fromUtf8(e.what()), parent);
    }
    return false;
}
