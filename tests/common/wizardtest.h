#pragma once
// The whole wizard for a GUI test, without main: the Army profile and every page. The close
// box ends nothing; the caller sets the message and error hooks it wants (MessageHooks below
// are the usual ones).
#include "app/ServiceUtilsUnit.h"
#include "app/ui/AppStartup.h"
#include "app/ui/Dialogs.h"

#include <QApplication>
#include <QList>
#include <QMessageBox>
#include <QStringList>
#include <QTest>
#include <QTimer>

inline void OpenWizard()
{
    SetMainFormClosedHandler([] {});
    ServiceUtils = new TArmyUtils;
    CreatePages();
}

inline void CloseWizard()
{
    DestroyPages();
    delete ServiceUtils;
    ServiceUtils = nullptr;
}

// A message box as the hook saw it.
struct ShownMessage
{
    QString message;
    TMsgDlgType type;
    TMsgDlgButtons buttons;
};

// A base of a GUI test's class, in place of the message boxes and the error box: keeps what
// they would have shown and answers a question with `answer`, a notice with OK.
class MessageHooks
{
protected:
    QList<ShownMessage> shown;
    QStringList errors;
    int answer = mrYes;

    // Nothing seen yet, the user's answer firstAnswer, and the hooks in place.
    void InstallMessageHooks(int firstAnswer)
    {
        shown.clear();
        errors.clear();
        answer = firstAnswer;
        SetMessageDlgHook([this](const QString &m, TMsgDlgType t, TMsgDlgButtons b) {
            shown.append({m, t, b});
            return b == mbYesNo ? answer : int(mrOk);
        });
        SetErrorBoxHook([this](const QString &text) { errors.append(text); });
    }
};

// Ends what OpenWizard and the hooks began: no pages, and real boxes and close box again.
inline void CloseWizardAndHooks()
{
    CloseWizard();
    SetMainFormClosedHandler({});
    SetMessageDlgHook({});
    SetErrorBoxHook({});
}

// Presses a key on the next modal dialog as soon as it shows (a real dialog's exec, with no
// hook in between); the message box's text is kept where asked.
inline void KeyOnNextModal(Qt::Key key, QString *shownText = nullptr)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, key, shownText] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        if (auto *box = qobject_cast<QMessageBox *>(modal); box && shownText)
            *shownText = box->text();
        QTest::keyClick(modal, key);
    });
    timer->start();
}
