#pragma once
// Finds the port dialog's controls by name and works them as a user would.
#include "link/TParCOM.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace qmt::test {

template <class T> T* control(QWidget* parent, const char* name) {
    T* widget = parent->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

struct ParComDriver {
    TParCOM& dialog;

    QComboBox* combo(const char* name) const { return control<QComboBox>(&dialog, name); }
    QLineEdit* edit(const char* name) const { return control<QLineEdit>(&dialog, name); }
    QPushButton* button(const char* name) const { return control<QPushButton>(&dialog, name); }

    void click(const char* name) const { QTest::mouseClick(button(name), Qt::LeftButton); }
    // Replaces the text of an edit field (or of cbPort) by typing.
    void type(const char* name, const QString& text) const {
        QLineEdit* field = QString::fromLatin1(name) == QLatin1String("cbPort")
                               ? combo("cbPort")->lineEdit()
                               : edit(name);
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, text);
    }
    void choose(const char* name, const QString& item) const {
        QComboBox* box = combo(name);
        const int index = box->findText(item);
        EXPECT_GE(index, 0) << name << " has no " << item.toStdString();
        box->setCurrentIndex(index);
    }
};

} // namespace qmt::test
