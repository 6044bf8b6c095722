// Qt's own dialogs and buttons speak the program's language.
#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

TEST(Translation, StandardButtonsAndTheOverwriteQuestionAreRussian) {
    QMessageBox box(QMessageBox::Question, QString(), QStringLiteral("Файл существует!"),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Yes)->text().remove(QLatin1Char('&')), QStringLiteral("Да"));
    EXPECT_EQ(box.button(QMessageBox::No)->text().remove(QLatin1Char('&')), QStringLiteral("Нет"));
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text().remove(QLatin1Char('&')),
              QStringLiteral("Отмена"));

    const QString question = QCoreApplication::translate(
        "QFileDialog", "%1 already exists.\nDo you want to replace it?");
    EXPECT_TRUE(question.contains(QStringLiteral("%1"))) << question.toStdString();
    EXPECT_TRUE(question.contains(QStringLiteral("существует"))) << question.toStdString();
}

} // namespace
