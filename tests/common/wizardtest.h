#pragma once
// The whole wizard for a GUI test, without main: the Army profile and every page. The close
// box ends nothing; the caller sets the message and error hooks it wants (MessageHooks below
// are the usual ones).
#include "app/ServiceUtilsUnit.h"
#include "app/ui/AppStartup.h"
#include "app/ui/Dialogs.h"
#include "selection/SelectionParameters.h"

#include <QAbstractButton>
#include <QApplication>
#include <QHeaderView>
#include <QList>
#include <QMessageBox>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <QTreeView>

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
    void OpenWizardWithHooks(int firstAnswer)
    {
        InstallMessageHooks(firstAnswer);
        OpenWizard();
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

// What a user does on the pages.

// A click in the middle of a column's title.
inline void ClickHeader(QTreeView *view, int column)
{
    QHeaderView *h = view->header();
    const QPoint p(h->sectionViewportPosition(column) + h->sectionSize(column) / 2, h->height() / 2);
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, p);
}

// On the indicator: a radio button or check box takes clicks only on its indicator and text.
inline void ClickIndicator(QAbstractButton *b)
{
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(8, b->height() / 2));
}

// A list's column, top to bottom.
inline QStringList Column(QAbstractItemView *view, int column = 0)
{
    QStringList out;
    QAbstractItemModel *m = view->model();
    for (int r = 0; r < m->rowCount(); ++r)
        out << m->data(m->index(r, column)).toString();
    return out;
}

// The given rows highlighted, no others.
inline void Highlight(QAbstractItemView *view, const QList<int> &rows)
{
    view->selectionModel()->clearSelection();
    for (int r : rows)
        view->selectionModel()->select(view->model()->index(r, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

// Where page 3's location box lists a code such as "US".
inline int LocationIndex(const QString &code)
{
    const QStringList &entries = LocationEntries();
    for (int k = 0; k < entries.size(); ++k)
        if (entries[k].startsWith(code + ' '))
            return k;
    return -1;
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
