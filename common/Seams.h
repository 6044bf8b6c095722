#pragma once
// The seams of the module code that need no display: messages for the user
// that ask for no answer, the clock and blocking waits. The windows forward
// the messages to message boxes (Ui.h); the command line writes them to
// standard error. Tests install fakes that record them and skip the waits.

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

// The text as one line of standard error: its line breaks become blanks.
QString OneLine(const QString& text);

} // namespace qmt
