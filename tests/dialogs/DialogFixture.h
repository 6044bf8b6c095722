#pragma once
// A parameter dialog on the in-process fake module, with scripted prompts and
// clock; controls are found by name and worked as a user works them.

#include "FakeModule.h"
#include "FakeUi.h"
#include "TextFit.h"

#include "common/CheckBox.h"
#include "common/RadioGroup.h"
#include "config/ModuleConfig.h"
#include "link/PortSettings.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qmt::test {

template <class T> T* find(QWidget* parent, const char* name) {
    T* widget = parent->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

inline QLineEdit* edit(QWidget* dialog, const char* name) {
    return find<QLineEdit>(dialog, name);
}
// Replaces a field's text by typing it.
inline void type(QWidget* dialog, const char* name, const QString& text) {
    QLineEdit* field = edit(dialog, name);
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, text);
}
inline QString text(QWidget* dialog, const char* name) {
    return edit(dialog, name)->text();
}
inline void click(QWidget* dialog, const char* name) {
    QTest::mouseClick(find<QPushButton>(dialog, name), Qt::LeftButton);
}
// A click on a radio item's indicator, as the user does it.
inline void choose(QWidget* dialog, const char* group, int item) {
    QRadioButton* b = find<RadioGroup>(dialog, group)->button(item);
    ASSERT_NE(b, nullptr);
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
}
inline int item(QWidget* dialog, const char* group) {
    return find<RadioGroup>(dialog, group)->itemIndex();
}

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        Config = ModuleConfig{};
        ResetConfig(Config);
        LinkUp = true;
        PortSettings = TPortSettings{};
    }
    void TearDown() override { LinkUp = false; }

    // "function:address:count" of every request, in order.
    std::vector<std::string> requests() const {
        std::vector<std::string> out;
        for (const Request& r : module.log)
            out.push_back(std::to_string(r.function) + ":" + std::to_string(r.address) + ":" +
                          std::to_string(r.count));
        return out;
    }
    QString shownText() const { return prompts.lastText(); }

    // Wrapped labels are left out of the text-fit check: their lines must fit
    // the label's height as well.
    static QStringList overfullWrappedLabels(QWidget* dialog) {
        QStringList out;
        for (QLabel* l : dialog->findChildren<QLabel*>()) {
            if (l->wordWrap() && l->heightForWidth(l->width()) > l->height())
                out << l->objectName();
        }
        return out;
    }
    // QMT_GRAB_DIR=<folder> keeps a picture of the dialog for a look by eye.
    static void grab(QWidget* dialog, const QString& file) {
        const QByteArray dir = qgetenv("QMT_GRAB_DIR");
        if (!dir.isEmpty()) dialog->grab().save(QDir(QString::fromLocal8Bit(dir)).filePath(file));
    }

    FakePrompts prompts;
    FakeClock clock;
    FakeModule module;
};

} // namespace qmt::test
