#pragma once
#include <QString>
#include <functional>

class QWidget;

// Standard message dialogs, the error box and the one top-level action handler.
// Tests replace the dialogs with hooks so that nothing modal blocks them.

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation };
enum TModalResult { mrNone = 0, mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };
enum TMsgDlgButtons { mbOK, mbYesNo, mbOKCancel };

// Shows the message with the icon of its kind, the caption after it ("Warning", "Error",
// "Information", "Confirm") and the buttons; returns the button pressed. Enter presses
// defaultResult's button (mrNone: Yes of Yes/No, OK otherwise); a question whose Yes risks
// something names mrNo.
int MessageDlg(const QString &message, TMsgDlgType type, TMsgDlgButtons buttons,
               QWidget *parent = nullptr, TModalResult defaultResult = mrNone);

// The error box: stop icon, OK, title "Corvane Lite - USA", full-stop rule applied.
void ShowErrorBox(const QString &message, QWidget *parent = nullptr);

// Runs one user action; an Exception (or any std::exception) escaping it is shown in
// the error box. Returns false when the action failed. Every event handler goes through it.
bool RunAction(const std::function<void()> &action, QWidget *parent = nullptr);

// Test seams. A hook receives what would be shown and answers for the user.
using MessageDlgHook = std::function<int(const QString &message, TMsgDlgType type, TMsgDlgButtons buttons)>;
using ErrorBoxHook = std::function<void(const QString &shownText)>;
void SetMessageDlgHook(MessageDlgHook hook);   // empty function: real dialogs again
void SetErrorBoxHook(ErrorBoxHook hook);
