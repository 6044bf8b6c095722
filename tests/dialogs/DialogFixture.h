#pragma once
// A parameter dialog on the in-process fake module, with scripted prompts and
// clock; controls are found by name and worked as a user works them.

#include "Controls.h"
#include "FakeModuleFixture.h"
#include "TextFit.h"

#include "common/CheckBox.h"
#include "common/RadioGroup.h"
#include "config/ModuleConfig.h"
#include "link/PortSettings.h"

#include <QDir>
#include <QLabel>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qmt::test {

class DialogTest : public OnFakeModule<> {
protected:
    void SetUp() override {
        Config = ModuleConfig{};
        ResetConfig(Config);
        LinkUp = true;
        PortSettings = TPortSettings{};
    }
    void TearDown() override { LinkUp = false; }

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
};

} // namespace qmt::test
