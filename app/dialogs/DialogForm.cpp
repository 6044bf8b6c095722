#include "dialogs/DialogForm.h"

#include "common/RadioGroup.h"
#include "dialogs/FramedItems.h"

#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace qmt::form {

namespace {

template <class T> T* named(T* widget, const QString& name, const QRect& at) {
    widget->setObjectName(name);
    widget->setGeometry(at);
    return widget;
}

} // namespace

void setUp(QDialog* dialog, const char* name, const QString& title, QSize size) {
    dialog->setObjectName(QLatin1String(name));
    dialog->setWindowTitle(title);
    dialog->setFixedSize(size);
}

QLabel* label(QWidget* parent, const char* name, const QString& text, const QRect& at) {
    return named(new QLabel(text, parent), QLatin1String(name), at);
}

QLineEdit* edit(QWidget* parent, const char* name, const QRect& at) {
    return named(new QLineEdit(parent), QLatin1String(name), at);
}

QComboBox* combo(QWidget* parent, const char* name, const QRect& at) {
    return named(new QComboBox(parent), QLatin1String(name), at);
}

QGroupBox* group(QWidget* parent, const char* name, const QString& title, const QRect& at) {
    return named(new QGroupBox(title, parent), QLatin1String(name), at);
}

LabelledEdit labelledEdit(QWidget* parent, const QString& labelName, const QString& text,
                          const QRect& labelAt, const QString& editName, const QRect& editAt) {
    LabelledEdit row{named(new QLabel(text, parent), labelName, labelAt),
                     named(new QLineEdit(parent), editName, editAt)};
    row.label->setBuddy(row.edit);
    return row;
}

RadioGroup* radioGroup(QWidget* parent, const char* name, const QString& title, const QRect& at,
                       const QStringList& items) {
    auto* g = named(new RadioGroup(parent), QLatin1String(name), at);
    g->setTitle(title);
    g->setItems(items);
    PlaceItemsInFrame(g);
    return g;
}

ButtonRow::ButtonRow(QWidget* parent, const QRect& first, QPoint step)
    : parent_(parent), next_(first), step_(step) {}

QPushButton* ButtonRow::add(const char* name, const QString& text, Enter enter) {
    auto* b = named(new QPushButton(text, parent_), QLatin1String(name), next_);
    next_.translate(step_);
    if (enter == Enter::Default) b->setDefault(true);
    if (enter == Enter::Never) b->setAutoDefault(false);
    return b;
}

} // namespace qmt::form
