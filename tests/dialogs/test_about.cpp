// The About box: the version information it shows, its icon, its place, and
// its life from the main window's menu.
#include "DialogFixture.h"

#include "config/TPidConf.h"
#include "dialogs/ProgramIcon.h"
#include "dialogs/TAboutBox.h"
#include "link/Forms.h"

#include <QAction>
#include <QPointer>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>

namespace qmt::test {
namespace {

using AboutBoxTest = DialogTest;

QString label(QWidget* box, const char* name) {
    return control<QLabel>(box, name)->text();
}

// Pixels that are not transparent: the picture was drawn, not left empty.
int drawnPixels(const QImage& image) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += qAlpha(image.pixel(x, y)) > 0;
    return n;
}

TEST_F(AboutBoxTest, ShowsTheProgramsVersionInformation) {
    TAboutBox box;
    EXPECT_EQ(box.windowTitle(), QStringLiteral("О программе"));
    EXPECT_EQ(label(&box, "ProductName"), QStringLiteral("Название: QMT584_View"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Версия: \\d+\\.\\d+\\.\\d+\\.\\d+$"))
                    .match(label(&box, "Version"))
                    .hasMatch())
        << label(&box, "Version").toStdString();
    EXPECT_TRUE(label(&box, "Copyright").startsWith(QStringLiteral("Copyright: ")));
    EXPECT_GT(label(&box, "Copyright").size(), 11);
    EXPECT_TRUE(label(&box, "Autor").startsWith(QStringLiteral("Автор: ")));
    EXPECT_GT(label(&box, "Autor").size(), 7);
    EXPECT_EQ(label(&box, "Comments"), QStringLiteral("Описание: Сервисное ПО модуля QMT-584"));
}

TEST_F(AboutBoxTest, TheIconIsDrawnForTheBoxAndAnySize) {
    const QIcon icon = ProgramIcon();
    ASSERT_FALSE(icon.isNull());
    for (int size : {16, 32, 64}) {
        const QImage image = icon.pixmap(size, size).toImage();
        EXPECT_EQ(image.size(), QSize(size, size));
        EXPECT_GT(drawnPixels(image), size * size / 2) << size;
    }
    TAboutBox box;
    auto* picture = control<QLabel>(&box, "ProgramIcon");
    EXPECT_GT(drawnPixels(picture->pixmap().toImage()), 64 * 64 / 2);
    EXPECT_LT(picture->x(), control<QLabel>(&box, "ProductName")->x()); // top left of the panel
}

TEST_F(AboutBoxTest, FixedCentredOnTheScreenClosedByOk) {
    QWidget owner;
    owner.setGeometry(0, 0, 200, 100);
    TAboutBox box(&owner);
    EXPECT_EQ(box.size(), QSize(298, 228));
    EXPECT_EQ(box.minimumSize(), box.maximumSize());
    auto* ok = control<QPushButton>(&box, "OKButton");
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(ok->text(), QStringLiteral("OK"));
    box.show();
    const QPoint offCentre =
        box.frameGeometry().center() - box.screen()->availableGeometry().center();
    EXPECT_LE(offCentre.manhattanLength(), 1) << offCentre.x() << "," << offCentre.y();
    EXPECT_EQ(clippedTextReport(&box), "");
    EXPECT_EQ(clippedTitleReport(&box), "");
    grab(&box, QStringLiteral("AboutBox.png"));
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_EQ(box.result(), QDialog::Accepted);
    EXPECT_FALSE(box.isVisible());
}

TEST_F(AboutBoxTest, TheMenuCommandMakesAFreshBoxEachTimeAndDestroysIt) {
    QTemporaryDir dir;
    TPidConf window(nullptr, dir.filePath(QStringLiteral("absent.ini")));
    QAction* about = window.findChild<QAction*>(QStringLiteral("mmAbout"));
    ASSERT_NE(about, nullptr);
    std::vector<QPointer<QDialog>> shown;
    for (int run = 0; run < 2; ++run) {
        prompts.modalScripts.push_back([&](QDialog* d) {
            EXPECT_NE(qobject_cast<TAboutBox*>(d), nullptr);
            EXPECT_EQ(static_cast<QDialog*>(AboutBox), d);
            shown.emplace_back(d);
            return int(QDialog::Accepted);
        });
        about->trigger();
        EXPECT_EQ(AboutBox, nullptr);
    }
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_TRUE(shown[0].isNull());
    EXPECT_TRUE(shown[1].isNull());
}

} // namespace
} // namespace qmt::test
