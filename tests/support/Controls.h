#pragma once
// Works a window's controls as the user does: each found by its objectName,
// typed into, clicked or chosen; and modal scripts that answer one kind of
// window through the prompts seam. Every test of a window uses these.

#include "common/RadioGroup.h"

#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <utility>

namespace qmt::test {

template <class T> T* control(QWidget* parent, const char* name) {
    T* widget = parent->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

inline QLineEdit* edit(QWidget* parent, const char* name) {
    return control<QLineEdit>(parent, name);
}
// The field typed into: an edit, or the edit of an editable combo box.
inline QLineEdit* field(QWidget* parent, const char* name) {
    if (auto* box = parent->findChild<QComboBox*>(QString::fromLatin1(name)))
        if (box->lineEdit()) return box->lineEdit();
    return edit(parent, name);
}
inline QString text(QWidget* parent, const char* name) {
    QLineEdit* f = field(parent, name);
    return f ? f->text() : QString();
}
// Replaces a field's text by typing it.
inline void type(QWidget* parent, const char* name, const QString& text) {
    QLineEdit* f = field(parent, name);
    ASSERT_NE(f, nullptr);
    f->selectAll();
    QTest::keyClick(f, Qt::Key_Backspace);
    QTest::keyClicks(f, text);
}
inline void click(QPushButton* button) {
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
}
inline void click(QWidget* parent, const char* name) {
    click(control<QPushButton>(parent, name));
}
// A click on a radio item's indicator, where the user clicks it.
inline void choose(RadioGroup* group, int item) {
    ASSERT_NE(group, nullptr);
    QRadioButton* b = group->button(item);
    ASSERT_NE(b, nullptr);
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
}
inline void choose(QWidget* parent, const char* group, int item) {
    choose(control<RadioGroup>(parent, group), item);
}
// The item of a combo box with that text.
inline void choose(QWidget* parent, const char* combo, const QString& item) {
    QComboBox* box = control<QComboBox>(parent, combo);
    ASSERT_NE(box, nullptr);
    const int index = box->findText(item);
    EXPECT_GE(index, 0) << combo << " has no " << item.toStdString();
    box->setCurrentIndex(index);
}
inline int item(QWidget* parent, const char* group) {
    auto* g = control<RadioGroup>(parent, group);
    return g ? g->itemIndex() : -1;
}

// The same, bound to one window.
struct Controls {
    QWidget& window;

    template <class T> T* get(const char* name) const { return control<T>(&window, name); }
    QComboBox* combo(const char* name) const { return get<QComboBox>(name); }
    QLineEdit* edit(const char* name) const { return get<QLineEdit>(name); }
    QPushButton* button(const char* name) const { return get<QPushButton>(name); }
    RadioGroup* group(const char* name) const { return get<RadioGroup>(name); }
    QString text(const char* name) const { return test::text(&window, name); }
    void type(const char* name, const QString& text) const { test::type(&window, name, text); }
    void click(const char* name) const { test::click(&window, name); }
    void choose(const char* group, int item) const { test::choose(&window, group, item); }
    void choose(const char* combo, const QString& item) const {
        test::choose(&window, combo, item);
    }
    // Sets each control in turn as the user does: an item chosen in a fixed
    // combo box, the text typed into an edit or an editable combo box.
    void fill(std::initializer_list<std::pair<const char*, QString>> values) const {
        for (const auto& [name, value] : values) {
            auto* box = window.findChild<QComboBox*>(QString::fromLatin1(name));
            if (box && !box->isEditable())
                choose(name, value);
            else
                type(name, value);
        }
    }
};

// A modal script for a window of class W: it works the window and returns
// the result the window closes with. Any other window is rejected, and the
// test fails.
template <class W> std::function<int(QDialog*)> answer(std::function<int(W&)> script) {
    return [script](QDialog* shown) {
        auto* window = qobject_cast<W*>(shown);
        EXPECT_NE(window, nullptr)
            << "not the expected window: " << (shown ? shown->metaObject()->className() : "none");
        if (!window) return int(QDialog::Rejected);
        return script(*window);
    };
}

} // namespace qmt::test
