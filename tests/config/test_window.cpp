// The window itself: routes laid out from the controls, the designed layout,
// the menu, the routes drawn, and the blocks that open their dialogs.
#include "PidConfFixture.h"

#include "dialogs/TInParam.h"
#include "dialogs/TPidParam.h"
#include "dialogs/TfOutParam.h"
#include "link/Forms.h"
#include "link/TParCOM.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>

namespace qmt::test {
namespace {

TEST_F(PidConfTest, RouteTableFollowsTheLayout) {
    using P = QPoint;
    const RouteTable expected = {{
        {{P(69, 164), P(69, 164), P(69, 121), P(100, 121)}},
        {{P(86, 139), P(86, 80), P(435, 80), P(435, 164)}},
        {{P(86, 157), P(86, 72), P(620, 72), P(620, 164)}},
        {{P(86, 175), P(86, 241), P(395, 241), P(395, 273)}},
        {{P(86, 193), P(86, 241), P(580, 241), P(580, 273)}},
        {{P(69, 164), P(69, 64), P(269, 64), P(269, 121)}},
        {{P(269, 139), P(269, 139), P(251, 139), P(251, 164)}},
        {{P(269, 157), P(269, 72), P(620, 72), P(620, 164)}},
        {{P(269, 175), P(269, 241), P(212, 241), P(212, 273)}},
        {{P(269, 193), P(269, 241), P(580, 241), P(580, 273)}},
        {{P(69, 164), P(69, 64), P(452, 64), P(452, 121)}},
        {{P(452, 139), P(452, 88), P(251, 88), P(251, 164)}},
        {{P(452, 157), P(452, 157), P(435, 157), P(435, 164)}},
        {{P(452, 175), P(452, 241), P(212, 241), P(212, 273)}},
        {{P(452, 193), P(452, 241), P(395, 241), P(395, 273)}},
        {{P(629, 133), P(629, 64), P(69, 64), P(69, 164)}},
        {{P(629, 150), P(629, 88), P(251, 88), P(251, 164)}},
        {{P(629, 167), P(629, 80), P(435, 80), P(435, 164)}},
        {{P(629, 184), P(620, 184), P(620, 164), P(620, 164)}},
    }};
    for (int i = 0; i < 19; ++i)
        EXPECT_EQ(window->routes()[i], expected[i]) << "route " << i;
}

TEST_F(PidConfTest, ControlsStandWhereDesigned) {
    struct Place {
        const char* name;
        QRect rect;
    };
    const Place places[] = {
        {"MBus", {4, 96, 51, 129}},       {"imMBOut", {55, 159, 14, 10}},
        {"swpid1", {100, 96, 72, 129}},   {"InPid1", {170, 155, 21, 10}},
        {"pid1", {187, 96, 50, 129}},     {"imOutPid1", {237, 159, 14, 10}},
        {"swpid2", {283, 96, 72, 129}},   {"InPid2", {353, 155, 21, 10}},
        {"pid2", {370, 96, 51, 129}},     {"imOutPid2", {421, 159, 14, 10}},
        {"swpid3", {466, 96, 72, 129}},   {"InPid3", {537, 155, 21, 10}},
        {"pid3", {555, 96, 51, 129}},     {"imOutPid3", {606, 159, 14, 10}},
        {"swout", {643, 107, 80, 89}},    {"OutPid", {716, 147, 21, 10}},
        {"Out", {734, 87, 45, 129}},      {"FB2Image", {390, 224, 10, 50}},
        {"imFB3Out", {575, 261, 10, 14}}, {"paFB1", {162, 273, 100, 38}},
        {"paFB3", {531, 273, 99, 38}},    {"rgMode", {219, 342, 222, 70}},
    };
    for (const Place& p : places)
        EXPECT_EQ(control(p.name)->geometry(), p.rect) << p.name;
    EXPECT_EQ(control("Label3")->pos(), QPoint(605, 254));
    EXPECT_EQ(window->centralWidget()->width(), 788);
    EXPECT_EQ(window->centralWidget()->height() + window->statusBar()->height(), 434);
    EXPECT_EQ(window->objectName(), QStringLiteral("PidConf"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("QMT584_View"));
    EXPECT_EQ(window->font().family(), QStringLiteral("Liberation Sans"));
    EXPECT_EQ(window->font().pixelSize(), 12);
    // Set-point items sit 18 px apart from 25 px below the top; output items 17 apart.
    auto middle = [](const QWidget* w) { return w->y() + w->height() / 2; };
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(middle(group("swpid1")->button(i)), 25 + 18 * i) << i;
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(middle(group("swout")->button(i)) + 107, 133 + 17 * i) << i;
    EXPECT_EQ(group("rgMode")->title(), QStringLiteral("Режим модуля"));
    EXPECT_EQ(group("swpid3")->itemText(4), QStringLiteral("FB2"));
}

TEST_F(PidConfTest, MenuCaptions) {
    QStringList top;
    QStringList items;
    for (QAction* a : window->menuBar()->actions()) {
        top << a->text();
        if (a->menu())
            for (QAction* i : a->menu()->actions())
                items << i->text();
    }
    EXPECT_EQ(top, (QStringList{"Файл", "Команды", "Порт", "!О программе"}));
    EXPECT_EQ(items,
              (QStringList{"Новый", "Открыть...", "Сохранить", "Сохранить как...",
                           "Служебные настройки модуля...", "Калибровка...", "Переменные модуля...",
                           "Настройка регулятора по скачку...", "Прочитать конфигурацию модуля",
                           "Записать конфигурацию ПИД", "Записать изменения...",
                           "Считать счетчик рестартов", "Обнулить счетчик рестартов", "Настройки...",
                           "Статистика связи...", "Поиск станций...", "Монитор обмена..."}));
    EXPECT_EQ(window->menuBar()->actions().last()->menu(), nullptr);
}

TEST_F(PidConfTest, SelectedRoutesAreDrawn) {
    window->show();
    auto blackAt = [&](QPoint p) {
        const QImage img = window->centralWidget()->grab().toImage();
        return img.pixelColor(p).lightness() < 64;
    };
    const QPoint onLane(300, 80); // the ПИД2 lane of swpid1's item 1
    EXPECT_FALSE(blackAt(onLane));
    click("swpid1", 1);
    EXPECT_TRUE(blackAt(onLane));
    click("swpid1", 5); // "Откл." draws nothing
    EXPECT_FALSE(blackAt(onLane));
    click("swout", 0);
    EXPECT_TRUE(blackAt(QPoint(400, 64)));
}

TEST_F(PidConfTest, BlocksOpenTheirDialogs) {
    auto* pidParam = new TPidParam(window.get());
    auto* inParam = new TInParam(window.get());
    auto* outParam = new TfOutParam(window.get());
    PidParam = pidParam;
    InParam = inParam;
    fOutParam = outParam;
    QTest::mouseClick(control("pid2"), Qt::LeftButton);
    QTest::mouseClick(control("paFB3"), Qt::LeftButton);
    QTest::mouseClick(control("Out"), Qt::LeftButton);
    QTest::mouseClick(control("MBus"), Qt::LeftButton); // no action
    EXPECT_EQ(prompts.modalShown, (std::vector<QDialog*>{pidParam, inParam, outParam}));
    EXPECT_EQ(pidParam->Tag, 1);
    EXPECT_EQ(inParam->Tag, 2);
    PidParam = nullptr;
    InParam = nullptr;
    fOutParam = nullptr;
}

TEST_F(PidConfTest, PortDialogIsMadeForEachRunAndDestroyed) {
    auto* text = window->findChild<QLabel*>(QStringLiteral("PortStatusText"));
    const QString before = text->text();
    TParCOM* seen = nullptr;
    prompts.modalScripts.push_back([&](QDialog* d) {
        seen = qobject_cast<TParCOM*>(d);
        EXPECT_EQ(ParCOM, seen);
        return int(QDialog::Rejected);
    });
    window->findChild<QAction*>(QStringLiteral("miPortPar"))->trigger();
    EXPECT_NE(seen, nullptr);
    EXPECT_EQ(ParCOM, nullptr);
    EXPECT_EQ(text->text(), before);
    EXPECT_TRUE(window->findChildren<TParCOM*>().isEmpty());

    // OK without a successful open (accepted flag clear) shows the port closed.
    prompts.modalScripts.push_back([](QDialog*) { return int(QDialog::Accepted); });
    window->findChild<QAction*>(QStringLiteral("miPortPar"))->trigger();
    EXPECT_TRUE(text->text().startsWith(QStringLiteral("Закрыт: ")));
}

// Pictures of the window for a look by eye: QMT_GRAB_DIR=/some/folder.
TEST_F(PidConfTest, Pictures) {
    const QByteArray target = qgetenv("QMT_GRAB_DIR");
    if (target.isEmpty()) GTEST_SKIP() << "QMT_GRAB_DIR not set";
    const QDir out(QString::fromLocal8Bit(target));
    window->show();
    window->miFileNewClick();
    window->grab().save(out.filePath(QStringLiteral("pidconf-new.png")));
    click("swpid1", 3);
    click("rgMode", 1);
    window->grab().save(out.filePath(QStringLiteral("pidconf-fb2.png")));
    click("swpid1", 1);
    click("swpid2", 2);
    click("swpid3", 3);
    click("swout", 3);
    window->grab().save(out.filePath(QStringLiteral("pidconf-out3.png")));
}

} // namespace
} // namespace qmt::test
