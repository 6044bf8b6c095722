#pragma once
// The pieces every fixed-size dialog of the program is built from: the window
// itself, captions and edit fields at given places, a caption with its field,
// framed groups, radio groups placed inside their frame, and rows of buttons.
// Each piece gets its objectName at birth, so a dialog reads as the list of
// its controls and no dialog keeps its own copy of these few lines.

#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

class QComboBox;
class QDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace qmt {

class RadioGroup;

namespace form {

// A title bar with the close box and the system menu, no help button.
constexpr Qt::WindowFlags Closable = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                     Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
// A title bar alone: the dialog ends only through its own buttons (or Escape).
constexpr Qt::WindowFlags TitleOnly = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;

// Names the dialog, gives it its caption and fixes its client size.
void setUp(QDialog* dialog, const char* name, const QString& title, QSize size);

QLabel* label(QWidget* parent, const char* name, const QString& text, const QRect& at);
QLineEdit* edit(QWidget* parent, const char* name, const QRect& at);
QComboBox* combo(QWidget* parent, const char* name, const QRect& at);
QGroupBox* group(QWidget* parent, const char* name, const QString& title, const QRect& at);

// A caption and the field it names (its buddy), made in that order.
struct LabelledEdit {
    QLabel* label;
    QLineEdit* edit;
};
LabelledEdit labelledEdit(QWidget* parent, const QString& labelName, const QString& text,
                          const QRect& labelAt, const QString& editName, const QRect& editAt);

// A captioned radio group with its items inside the frame, nothing selected.
RadioGroup* radioGroup(QWidget* parent, const char* name, const QString& title, const QRect& at,
                       const QStringList& items);

// What Enter does to a button.
enum class Enter {
    Default,     // Enter presses it wherever the focus is
    WhenFocused, // Enter presses it while it has the focus (the toolkit's own rule)
    Never,       // Enter never presses it: the dialog's fields or another button take it
};

// Buttons of one size, each a step from the one before it.
class ButtonRow {
public:
    ButtonRow(QWidget* parent, const QRect& first, QPoint step);
    QPushButton* add(const char* name, const QString& text, Enter enter = Enter::Never);

private:
    QWidget* parent_;
    QRect next_;
    QPoint step_;
};

} // namespace form
} // namespace qmt
