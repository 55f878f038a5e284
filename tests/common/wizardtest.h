#pragma once
// The whole wizard for a GUI test, without main: the Army profile and every page. The close
// box ends nothing; the caller sets the message and error hooks it wants.
#include "app/ServiceUtilsUnit.h"
#include "app/ui/AppStartup.h"

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

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

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
