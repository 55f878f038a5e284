#include "testmain.h"
#include "app/Exceptions.h"
#include "app/ui/Dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <stdexcept>

namespace {

struct SeenBox
{
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
};

// Answers the next real message box with the given button once it is up.
void AnswerNextBox(SeenBox &seen, QMessageBox::StandardButton press)
{
    QTimer::singleShot(0, [&seen, press] {
        QMessageBox *box = nullptr;
        QTRY_VERIFY((box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())));
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.icon = box->icon();
        for (QAbstractButton *b : box->buttons())
            seen.buttons << b->text();
        box->button(press)->click();
    });
}

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT
private slots:
    void cleanup()
    {
        SetMessageDlgHook({});
        SetErrorBoxHook({});
    }

    void confirmationDialog()
    {
        SeenBox seen;
        AnswerNextBox(seen, QMessageBox::Yes);
        QCOMPARE(MessageDlg("Go on?", mtConfirmation, mbYesNo), int(mrYes));
        QCOMPARE(seen.title, QString("Confirm"));
        QCOMPARE(seen.text, QString("Go on?"));
        QCOMPARE(seen.icon, QMessageBox::Question);
        QCOMPARE(seen.buttons.size(), 2);

        SeenBox again;
        AnswerNextBox(again, QMessageBox::No);
        QCOMPARE(MessageDlg("Go on?", mtConfirmation, mbYesNo), int(mrNo));
    }

    void enterAnswersYes()
    {
        // Keys go to the box that is up, as a user's would.
        QString defaultText;
        QTimer::singleShot(0, [&defaultText] {
            QMessageBox *box = nullptr;
            QTRY_VERIFY((box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())));
            if (box->defaultButton())
                defaultText = box->defaultButton()->text();
            QTest::keyClick(box, Qt::Key_Return);
        });
        QCOMPARE(MessageDlg("Are you sure?", mtConfirmation, mbYesNo), int(mrYes));
        QCOMPARE(defaultText, QMessageBox(QMessageBox::Question, QString(), QString(),
                                          QMessageBox::Yes).button(QMessageBox::Yes)->text());
        // Escape still says No.
        QTimer::singleShot(0, [] {
            QWidget *box = nullptr;
            QTRY_VERIFY((box = QApplication::activeModalWidget()));
            QTest::keyClick(box, Qt::Key_Escape);
        });
        QCOMPARE(MessageDlg("Are you sure?", mtConfirmation, mbYesNo), int(mrNo));
    }

    void warningAndError()
    {
        SeenBox warning;
        AnswerNextBox(warning, QMessageBox::Ok);
        QCOMPARE(MessageDlg("Careful", mtWarning, mbOK), int(mrOk));
        QCOMPARE(warning.title, QString("Warning"));
        QCOMPARE(warning.icon, QMessageBox::Warning);
        QCOMPARE(warning.buttons.size(), 1);

        SeenBox error;
        AnswerNextBox(error, QMessageBox::Ok);
        QCOMPARE(MessageDlg("Broken", mtError, mbOK), int(mrOk));
        QCOMPARE(error.title, QString("Error"));
        QCOMPARE(error.icon, QMessageBox::Critical);
    }

    void errorBox()
    {
        SeenBox seen;
        AnswerNextBox(seen, QMessageBox::Ok);
        ShowErrorBox("File not found");
        QCOMPARE(seen.title, QString("Corvane Lite - USA"));
        QCOMPARE(seen.text, QString("File not found."));
        QCOMPARE(seen.icon, QMessageBox::Critical);
        QCOMPARE(seen.buttons.size(), 1);
    }

    void runActionReportsEveryError()
    {
        QStringList shown;
        SetErrorBoxHook([&shown](const QString &text) { shown << text; });
        int after = 0;
        QVERIFY(!RunAction([&after] {
            throw Exception("\"0\" is too small a batch number");
            ++after;
        }));
        QVERIFY(!RunAction([] { throw std::runtime_error("low level"); }));
        QVERIFY(!RunAction([] { throw Exception("bad \"x\""); }));   // '"' sorts before '.'
        QVERIFY(RunAction([&after] { ++after; }));
        QCOMPARE(after, 1);
        QCOMPARE(shown, QStringList({"\"0\" is too small a batch number.", "low level.", "bad \"x\""}));
    }

    void hookAnswersInsteadOfDialog()
    {
        QList<TMsgDlgType> types;
        SetMessageDlgHook([&types](const QString &, TMsgDlgType t, TMsgDlgButtons) {
            types << t;
            return int(mrYes);
        });
        QCOMPARE(MessageDlg("x", mtConfirmation, mbYesNo), int(mrYes));
        QCOMPARE(types, QList<TMsgDlgType>({mtConfirmation}));
    }
};

CORVANE_TEST(TestDialogs)
#include "tst_dialogs.moc"
