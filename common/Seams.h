#pragma once
// The one registry of the program's seams that need no display: messages for
// the user that ask for no answer, the clock and blocking waits, and the
// status bar's reports. The windows forward the messages to message boxes
// (Ui.h adds the prompts that need a display, installed the same way); the
// command line writes them to standard error. Each seam is installed with its
// set function, nullptr restoring the default; tests install fakes
// (tests/support/FakeUi.h) that record them and skip the waits.

#include <QDateTime>
#include <QString>

namespace qmt {

enum class MsgIcon { None, Information, Warning, Error, Question };

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() = 0;
    // Blocks the calling thread, as the module's timing requires.
    virtual void sleepMs(int ms) = 0;
};

Clock& clock();
// Installs a replacement (tests); nullptr restores the real one.
void setClock(Clock* replacement);

// Where a message that needs no answer goes (a failed port, a missing library).
class Notices {
public:
    virtual ~Notices() = default;
    virtual void notice(const QString& text, const QString& caption, MsgIcon icon) = 0;
};

// Delivers one message through the installed Notices; without one, the text
// goes to standard error as one line (line breaks become blanks).
void notify(const QString& text, const QString& caption, MsgIcon icon);
// nullptr restores standard error.
void setNotices(Notices* replacement);

// What the program tells the engineer in the main window's status bar: the
// long work under way ("Запись конфигурации: 23 из 63") and a short note of
// what succeeded. Commands and dialogs report here without knowing the main
// window; failures still go to message boxes.
class StatusReporter {
public:
    virtual ~StatusReporter() = default;
    // The work under way, painted at once (the work blocks the event loop);
    // an empty text ends it.
    virtual void progress(const QString& text) = 0;
    // Success, shown for a few seconds.
    virtual void confirm(const QString& text) = 0;
    // Something that stopped, still to be read after its message box is
    // closed: shown until the next note.
    virtual void warn(const QString& text) { progress(text); }
    // A state the engineer must not miss (a regulator not yet restored),
    // shown in red until an empty text ends it.
    virtual void alert(const QString& text) { (void)text; }
};

StatusReporter& status();
// Installs the reporter (the main window, or a test's); nullptr: reports go nowhere.
void setStatusReporter(StatusReporter* reporter);
// Uninstalls reporter only if it is still the installed one.
void clearStatusReporter(StatusReporter* reporter);

// The text as one line of standard error: its line breaks become blanks.
QString OneLine(const QString& text);

} // namespace qmt
