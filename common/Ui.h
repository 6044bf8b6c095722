#pragma once
// The program's seams to the outside world of a desktop session: message boxes,
// file dialogs, modal windows, the clock and blocking waits. Production uses the
// real thing; tests install fakes that answer prompts and skip the waits.

#include "common/Seams.h"

#include <QDateTime>
#include <QMessageBox>
#include <QString>

#include <functional>

class QDialog;
class QWidget;
class QAbstractButton;
class QAction;

namespace qmt {

struct MessageBoxRequest {
    QWidget* owner = nullptr;
    QString text;
    QString caption;
    MsgIcon icon = MsgIcon::None;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
};

struct FileDialogRequest {
    QWidget* owner = nullptr;
    QString caption;
    QString directory;     // where the dialog starts; empty: the current folder
    QString filter;        // Qt filter text, e.g. "Name (*.pid)"
    QString defaultSuffix; // added to a name typed without one (save only)
    bool confirmOverwrite = true;
    // Filters show their names only ("Все файлы", not "Все файлы (*)").
    bool hideFilterDetails = false;
};

class Prompts {
public:
    virtual ~Prompts() = default;
    // Shows a modal message box and returns the button pressed.
    virtual QMessageBox::StandardButton message(const MessageBoxRequest& request) = 0;
    // Return the chosen path, or an empty text when the user cancelled.
    virtual QString openFileName(const FileDialogRequest& request) = 0;
    virtual QString saveFileName(const FileDialogRequest& request) = 0;
    // Runs a window modally and returns its result (QDialog::Accepted ...).
    virtual int execModal(QDialog* dialog) = 0;
};

Prompts& prompts();
// Installs a replacement (tests); nullptr restores the real one. The clock
// (Seams.h) is shared with the code that runs without a display; its notices
// come here, to message boxes, wherever this file is linked.
void setPrompts(Prompts* replacement);

// Shorthand for the common boxes.
QMessageBox::StandardButton showMessage(const QString& text, const QString& caption, MsgIcon icon,
                                        QWidget* owner = nullptr,
                                        QMessageBox::StandardButtons buttons = QMessageBox::Ok);

// The application's standard error display: the message in a box with the
// error caption ("QMT584_View" unless set otherwise) and the error icon; the
// event loop then goes on.
void showException(const std::exception& error);
// Another program built on these seams (the trend viewer) names its own boxes.
void setErrorCaption(const QString& caption);
QString errorCaption();

// Every user action reaches its handler through this guard, so no exception
// ever crosses a Qt frame. Returns false when the action raised.
bool guarded(const std::function<void()>& action);

// Typed wiring of widgets to plain member-function handlers through the guard.
void onClicked(QAbstractButton* button, std::function<void()> handler);
void onTriggered(QAction* action, std::function<void()> handler);

// The wait cursor for the life of a command that blocks the interface for
// seconds (configuration transfer, PID writes, calibration steps, the search),
// so the window does not look hung. Nests: the outermost one restores.
class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

template <class T> std::function<void()> handler(T* object, void (T::*method)()) {
    return [object, method] { (object->*method)(); };
}

} // namespace qmt
