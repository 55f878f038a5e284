#pragma once
#include <QWidget>

#include <functional>

class QFrame;
class QLabel;
class QPushButton;

// The frame of the wizard pages: title band, work area, Previous / Next / Finish / Cancel
// and a status line. Pages put their controls into pnlClient (the part of pnlMain above the
// button bar) and replace the virtual handlers they need.
class QFont;

// Arial at a pixel size, the pages' and dialogs' font.
QFont ArialPixels(int pixels, bool bold = false);
// The grey description band across the top of a page, holding its title (bold, white) and
// word-wrapped description (white), laid out in the given frame.
void BuildDescriptionBand(QFrame *band, QLabel *title, QLabel *description);

class TfrmWizTemplate : public QWidget
{
    Q_OBJECT
public:
    explicit TfrmWizTemplate(QWidget *parent = nullptr);

    QFrame *pnlDescription;
    QLabel *lblTitle;
    QLabel *lblDescription;
    QFrame *pnlMain;
    QWidget *pnlClient;     // the pages' own controls go here
    QFrame *pnlButtons;
    QPushButton *btnPrevious;
    QPushButton *btnNext;
    QPushButton *btnFinish;
    QPushButton *btnCancel;
    QLabel *pnlStatus;

    // The button Enter presses when the focus is on no button: Next when it is enabled,
    // else Finish when that is; none when neither is.
    QPushButton *DefaultButton() const;

    static constexpr int ClientWidth = 692;
    static constexpr int ClientHeight = 473;

protected:
    // For a description of three lines: the band's margins tightened to fit its 73 pixels.
    void FitThreeLineDescription();
    // The three button handlers only hide the page; a page's replacement calls them first.
    virtual void btnPreviousClick();
    virtual void btnNextClick();
    virtual void btnFinishClick();
    // Asks the close question; Yes closes the main window.
    virtual void btnCancelClick();
    // Runs whenever the page closes: a page other than the main window takes it along.
    virtual void FormClose();

    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool FTabOrderSet = false;
};

// The close question of every page.
inline const QString CloseQuestion =
    QStringLiteral("Are you sure you wish to close Corvane Lite?  All data will be lost.");

// Asks the close question; on Yes closes the main window (which ends the program).
void AskCloseApplication(QWidget *parent);
// Closes the main window from any other page.
void CloseMainForm(QWidget *closingForm);

// Centres a top-level window on the screen it will appear on.
void CentreOnScreen(QWidget *form);

// The application's main window; closing it ends the program.
QWidget *MainForm();
void SetMainForm(QWidget *form);

// Called once the main window has closed. The default ends the message loop; tests replace it.
void SetMainFormClosedHandler(std::function<void()> handler);
void MainFormClosed();

// The wizard's pages. A page asks for another by name; the start-up code, the one place
// that knows every page, installs how each is shown.
enum class TWizPage { ChooseRosterFile, FormatRoster, SelectionParameters, SelectMembers, PrintProducts };
void SetShowPageHandler(std::function<void(TWizPage)> handler);
void ShowPage(TWizPage page);
