#pragma once
#include <functional>

class QWidget;

// Creates every page hidden, in the start-up order, and sets the globals; the first
// (page 1) is the main window. The service profile must exist already.
void CreatePages();
// Destroys the pages in reverse order and clears the globals.
void DestroyPages();

// The application's main window; closing it ends the program.
QWidget *MainForm();
void SetMainForm(QWidget *form);

// Called once the main window has closed. The default ends the message loop; tests replace it.
void SetMainFormClosedHandler(std::function<void()> handler);
void MainFormClosed();
