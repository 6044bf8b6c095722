#pragma once
// Progress notes for the status bar (the StatusReporter seam is in
// common/Seams.h with the others), and the count of registers they name.

#include "common/Seams.h"

#include <QString>

namespace qmt {

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
