#pragma once
// Scripted replacements for the program's prompts and clock: tests answer
// message boxes and file dialogs, drive modal windows, and skip waits.

#include "common/Ui.h"
#include "link/StatusReport.h"

#include <QDateTime>

#include <deque>
#include <functional>
#include <vector>

namespace qmt::test {

class FakePrompts : public Prompts {
public:
    FakePrompts() { setPrompts(this); }
    ~FakePrompts() override { setPrompts(nullptr); }

    std::vector<MessageBoxRequest> shown;            // every message box, in order
    std::deque<QMessageBox::StandardButton> answers; // next answers; default: first button
    std::deque<QString> openAnswers, saveAnswers;    // empty text = cancel
    std::vector<FileDialogRequest> openRequests, saveRequests;
    // Each modal window runs the next script (it may click, type, then return a
    // result); without a script the window is rejected without being shown.
    std::deque<std::function<int(QDialog*)>> modalScripts;
    std::vector<QDialog*> modalShown;
    // Runs as each box comes up, before it is recorded and answered: it may
    // look at the program's state then, or throw as a failing box would.
    std::function<void(const MessageBoxRequest&)> onMessage;

    QMessageBox::StandardButton message(const MessageBoxRequest& request) override;
    QString openFileName(const FileDialogRequest& request) override;
    QString saveFileName(const FileDialogRequest& request) override;
    int execModal(QDialog* dialog) override;

    QStringList texts() const;
    QString lastText() const { return shown.empty() ? QString() : shown.back().text; }
};

class FakeClock : public Clock {
public:
    FakeClock() { setClock(this); }
    ~FakeClock() override { setClock(nullptr); }

    QDateTime current = QDateTime(QDate(2026, 12, 9), QTime(12, 0));
    std::vector<int> sleeps; // every wait asked for, in ms
    std::function<void(int)> onSleep;

    QDateTime now() override { return current; }
    void sleepMs(int ms) override {
        sleeps.push_back(ms);
        current = current.addMSecs(ms);
        if (onSleep) onSleep(ms);
    }
};

// Records what the status bar would show, for windows tested without the main window.
class FakeStatus : public StatusReporter {
public:
    FakeStatus() { setStatusReporter(this); }
    ~FakeStatus() override { clearStatusReporter(this); }

    QStringList progressTexts; // every progress shown, ends left out
    QStringList confirmations;
    QString current; // what the pane would show now
    QString alerting; // the red alert now

    void progress(const QString& text) override {
        if (!text.isEmpty()) progressTexts << text;
        current = text;
    }
    void confirm(const QString& text) override {
        confirmations << text;
        current = text;
    }
    void alert(const QString& text) override { alerting = text; }
};

} // namespace qmt::test
