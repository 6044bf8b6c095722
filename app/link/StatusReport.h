#pragma once
// What the program tells the engineer in the main window's status bar: the
// long work under way ("Запись конфигурации: 23 из 63") and a short note of
// what succeeded. Commands and dialogs report here without knowing the main
// window; failures still go to message boxes.

#include <QString>

namespace qmt {

class StatusReporter {
public:
    virtual ~StatusReporter() = default;
    // The work under way, painted at once (the work blocks the event loop);
    // an empty text ends it.
    virtual void progress(const QString& text) = 0;
    // Success, shown for a few seconds.
    virtual void confirm(const QString& text) = 0;
    // A state the engineer must not miss (a regulator not yet restored),
    // shown in red until an empty text ends it.
    virtual void alert(const QString& text) { (void)text; }
};

StatusReporter& status();
// Installs the reporter (the main window, or a test's); nullptr: reports go nowhere.
void setStatusReporter(StatusReporter* reporter);
// Uninstalls reporter only if it is still the installed one.
void clearStatusReporter(StatusReporter* reporter);

// A progress text for the life of a command: it disappears when the command
// ends, by success or by an exception.
class ProgressNote {
public:
    explicit ProgressNote(const QString& text = QString());
    ~ProgressNote();
    ProgressNote(const ProgressNote&) = delete;
    ProgressNote& operator=(const ProgressNote&) = delete;
    void show(const QString& text);
    // Ends the progress now, before a confirmation takes its place.
    void end();

private:
    bool ended_ = false;
};

// "63 регистра", "21 регистр", "55 регистров".
QString RegisterCount(int count);

} // namespace qmt
