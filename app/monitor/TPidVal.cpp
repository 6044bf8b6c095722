// The values window's room plan: the channels it offers the trend viewer and
// the grids, groups and buttons of its upper and lower halves.
#include "monitor/TPidVal.h"

#include "common/CheckBox.h"
#include "common/RadioGroup.h"
#include "common/Ui.h"
#include "config/ModuleConfig.h"
#include "link/RegisterMap.h"
#include "monitor/MonitorGrid.h"
#include "monitor/ValuesCycle.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace reg = qmt::reg;

namespace {

constexpr int DefaultPeriodMs = 1000;

template <class W> W* named(W* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QLabel* label(QWidget* parent, const char* name, const QString& text, int x, int y) {
    auto* l = named(new QLabel(text, parent), name);
    l->move(x, y);
    l->adjustSize();
    return l;
}

QPushButton* button(QWidget* parent, const char* name, const QString& text, QRect r) {
    auto* b = named(new QPushButton(text, parent), name);
    b->setGeometry(r);
    // Enter belongs to the edits and grids here, never to a default button.
    b->setAutoDefault(false);
    return b;
}

qmt::CheckBox* checkBox(QWidget* parent, const char* name, const QString& text, QRect r) {
    auto* c = named(new qmt::CheckBox(text, parent), name);
    c->setGeometry(r);
    return c;
}

qmt::RadioGroup* radioGroup(QWidget* parent, const char* name, const QString& title,
                            const QStringList& items, QRect r) {
    auto* g = named(new qmt::RadioGroup(parent), name);
    g->setTitle(title);
    g->setGeometry(r);
    g->setItems(items);
    return g;
}

QString unitOf(uint16_t mode) {
    if (mode == reg::ModeCurrent) return QStringLiteral("мкА");
    if (mode == reg::ModeVoltage) return QStringLiteral("мВ");
    return QString();
}

} // namespace

TPidVal::TPidVal(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("PidVal"));
    setWindowTitle(QStringLiteral("Значения переменных"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(ClientWidth, CollapsedHeight);

    setupChannels();
    buildGrids();
    buildUpper();
    buildLower();

    tmUpdate = named(new QTimer(this), "tmUpdate");
    tmUpdate->setInterval(DefaultPeriodMs);
    connect(tmUpdate, &QTimer::timeout, this,
            [this] { qmt::guarded(qmt::handler(this, &TPidVal::btReadClick)); });
}

TPidVal::~TPidVal() {
    // The program's end ends a running log; its lines are all on disk already.
    LogClose();
}

void TPidVal::setupChannels() {
    RegChannels = qmt::RegulatorChannels();
    ModChannels = qmt::ModuleChannels();
}

void TPidVal::buildGrids() {
    sgSTATE = named(new MonitorGrid(4, 8, 1, 1, this), "sgSTATE");
    sgSTATE->setGeometry(-1, 0, 367, 201);
    sgSTATE->setColWidths({155, 69, 73, 63});
    sgSTATE->setFocusPolicy(Qt::ClickFocus);
    const QStringList heads = {QStringLiteral("Переменная"), QStringLiteral("ПИД1"),
                               QStringLiteral("ПИД2"), QStringLiteral("ПИД3")};
    for (int c = 0; c < 4; ++c)
        sgSTATE->setCell(c, 0, heads[c]);
    const QStringList rows = {QStringLiteral("Уставка"),     QStringLiteral("Обр. связь"),
                              QStringLiteral("Выход"),       QStringLiteral("Регистр состояния"),
                              QStringLiteral("Максимум"),    QStringLiteral("Минимум"),
                              QStringLiteral("Переполнение")};
    for (int r = 0; r < 7; ++r)
        sgSTATE->setCell(0, r + 1, rows[r]);
    sgSTATE->onSelectCell = [this](int c, int r) { return sgSTATESelectCell(c, r); };
    sgSTATE->onMouseUp = [this](int c, int r, Qt::MouseButton b) { sgSTATEMouseUp(c, r, b); };
    sgSTATE->isGrey = [this](int c, int r) { return !RegChannels[c - 1][r - 1].selected; };

    sgWriteVal = named(new MonitorGrid(4, 2, 1, 0, this), "sgWriteVal");
    sgWriteVal->setGeometry(-1, 199, 368, 54);
    sgWriteVal->setColWidths({155, 70, 72, 65});
    sgWriteVal->setCell(0, 0, QStringLiteral("Значение для вывода"));
    sgWriteVal->setCell(0, 1, QStringLiteral("Уставка интегратора"));
    sgWriteVal->setEditorShown(true);
    sgWriteVal->onKeyPress = [this](int key) { sgWriteValKeyPress(key); };

    sgModValues = named(new MonitorGrid(2, 5, 1, 1, this), "sgModValues");
    sgModValues->setGeometry(371, 0, 185, 129);
    sgModValues->setColWidths({90, 90});
    sgModValues->setFocusPolicy(Qt::ClickFocus);
    sgModValues->setCell(0, 0, QStringLiteral("Переменная"));
    sgModValues->setCell(1, 0, QStringLiteral("Значение"));
    // Built once from the model as it is at start; later mode changes do not reach them.
    const qmt::ModuleConfig& config = qmt::Config;
    for (int i = 0; i < 3; ++i) {
        sgModValues->setCell(0, i + 1,
                             QStringLiteral("АЦП%1 ").arg(i + 1) +
                                 unitOf(config.io[qmt::io::InputMode0 + i]));
    }
    sgModValues->setCell(0, 4, QStringLiteral("ЦАП ") + unitOf(config.io[qmt::io::DacMode]));
    sgModValues->onSelectCell = [this](int c, int r) { return sgModValuesSelectCell(c, r); };
    sgModValues->onMouseUp = [this](int c, int r, Qt::MouseButton b) {
        sgModValuesMouseUp(c, r, b);
    };
    sgModValues->onEnter = [this] { sgValuesEnter(); };
    sgModValues->onKeyPress = [this](int key) { sgModValuesKeyPress(key); };
    sgModValues->isGrey = [this](int, int r) { return !ModChannels[r - 1].selected; };
    sgModValues->focusCell(1, 4);
    sgModValues->setEditorShown(true);
}

void TPidVal::buildUpper() {
    using qmt::handler;
    using qmt::onClicked;
    Label4 = label(this, "Label4", QStringLiteral("Установка  интегр."), 0, 260);
    btSetInt1 = button(this, "btSetInt1", QStringLiteral("Интегр.1"), {157, 253, 65, 25});
    btSetInt2 = button(this, "btSetInt2", QStringLiteral("Интегр.2"), {226, 253, 65, 25});
    btSetInt3 = button(this, "btSetInt3", QStringLiteral("Интегр.3"), {300, 253, 65, 25});
    int tag = 0;
    for (QPushButton* b : {btSetInt1, btSetInt2, btSetInt3}) {
        b->setProperty("Tag", tag);
        onClicked(b, [this, tag] { btSetIntClick(tag); });
        ++tag;
    }

    gbReset = named(new QGroupBox(QStringLiteral("Регистр сброса"), this), "gbReset");
    gbReset->setGeometry(560, -1, 122, 130);
    btResPID1 = button(gbReset, "btResPID1", QStringLiteral("ПИД1"), {20, 22, 82, 25});
    btResPID2 = button(gbReset, "btResPID2", QStringLiteral("ПИД2"), {20, 58, 82, 25});
    btResPID3 = button(gbReset, "btResPID3", QStringLiteral("ПИД3"), {20, 94, 82, 25});
    onClicked(btResPID1, handler(this, &TPidVal::btResPID1Click));
    onClicked(btResPID2, handler(this, &TPidVal::btResPID2Click));
    onClicked(btResPID3, handler(this, &TPidVal::btResPID3Click));

    edPerUpd = named(new QLineEdit(QString::number(DefaultPeriodMs), this), "edPerUpd");
    edPerUpd->setGeometry(371, 134, 49, 24);
    connect(edPerUpd, &QLineEdit::returnPressed, this,
            [this] { qmt::guarded([this] { edPerUpdKeyPress(Qt::Key_Return); }); });
    Label7 = label(this, "Label7", QStringLiteral("Период обновления(мсек)"), 427, 137);
    chbUpdate =
        checkBox(this, "chbUpdate", QStringLiteral("Обновлять периодически"), {371, 156, 186, 20});
    chbUpdate->setOnClick(handler(this, &TPidVal::chbUpdateClick));
    btRead = button(this, "btRead", QStringLiteral("Обновить"), {561, 178, 80, 25});
    onClicked(btRead, handler(this, &TPidVal::btReadClick));

    edLog = named(new QLineEdit(this), "edLog");
    edLog->setGeometry(372, 179, 153, 24);
    btBrouse = button(this, "btBrouse", QStringLiteral("..."), {529, 178, 25, 25});
    onClicked(btBrouse, handler(this, &TPidVal::btBrouseClick));
    chbLog = checkBox(this, "chbLog", QStringLiteral("Записывать в файл"), {372, 207, 160, 20});
    chbLog->setOnClick(handler(this, &TPidVal::chbLogClick));
    chbTrend = checkBox(this, "chbTrend", QStringLiteral("Вести тренды"), {544, 208, 120, 20});
    chbTrend->setOnClick(handler(this, &TPidVal::chbTrendClick));

    GroupBox1 = named(new QGroupBox(QStringLiteral("Уставки по ModBus"), this), "GroupBox1");
    GroupBox1->setGeometry(404, 225, 260, 60);
    QLineEdit** edits[3] = {&edMbSet1, &edMbSet2, &edMbSet3};
    static const char* const editNames[3] = {"edMbSet1", "edMbSet2", "edMbSet3"};
    static const char* const labelNames[3] = {"Label1", "Label2", "Label3"};
    for (int i = 0; i < 3; ++i) {
        const int x = 8 + 84 * i;
        label(GroupBox1, labelNames[i], QStringLiteral("ПИД%1").arg(i + 1), x, 16);
        QLineEdit* e = named(new QLineEdit(GroupBox1), editNames[i]);
        e->setGeometry(x, 31, 76, 24);
        e->setProperty("Tag", i);
        connect(e, &QLineEdit::returnPressed, this,
                [this, i] { qmt::guarded([this, i] { edMbSetKeyPress(i, Qt::Key_Return); }); });
        *edits[i] = e;
    }

    btAdvanced =
        button(this, "btAdvanced", QStringLiteral("Дополнительно >>"), {512, 296, 139, 25});
    onClicked(btAdvanced, handler(this, &TPidVal::btAdvancedClick));
}

void TPidVal::buildLower() {
    using qmt::handler;
    using qmt::onClicked;
    GroupBox2 = named(new QGroupBox(QStringLiteral("Статус модуля"), this), "GroupBox2");
    GroupBox2->setGeometry(2, 339, 165, 101);
    lbErrFLASH = label(GroupBox2, "lbErrFLASH", QStringLiteral("Авария FLASH"), 10, 20);
    lbErrKS = label(GroupBox2, "lbErrKS", QStringLiteral("Ошибка КС параметров"), 10, 42);
    setStatusColour(lbErrFLASH, false);
    setStatusColour(lbErrKS, false);
    btReadStatus = button(GroupBox2, "btReadStatus", QStringLiteral("Считать"), {42, 68, 80, 25});
    onClicked(btReadStatus, handler(this, &TPidVal::btReadStatusClick));

    GroupBox3 = named(new QGroupBox(QStringLiteral("Регистр состояния ШИМ"), this), "GroupBox3");
    GroupBox3->setGeometry(168, 339, 514, 101);
    rgModePWM =
        radioGroup(GroupBox3, "rgModePWM", QStringLiteral("Режим выходов"),
                   {QStringLiteral("Нормальный"), QStringLiteral("Дискретный")}, {8, 16, 118, 78});
    rgOut1 = radioGroup(GroupBox3, "rgOut1", QStringLiteral("Выход 1"), {QString(), QString()},
                        {132, 16, 105, 78});
    rgOut2 = radioGroup(GroupBox3, "rgOut2", QStringLiteral("Выход 2"), {QString(), QString()},
                        {243, 16, 105, 78});
    rgOut1->setEnabled(false);
    rgOut2->setEnabled(false);
    rgModePWM->setOnClick(handler(this, &TPidVal::rgModePWMClick));
    rgOut1->setOnClick(handler(this, &TPidVal::rgOut1Click));
    rgOut2->setOnClick(handler(this, &TPidVal::rgOut2Click));
    btReadPWM = button(GroupBox3, "btReadPWM", QStringLiteral("Считать"), {356, 16, 150, 25});
    btSetResPWM = button(GroupBox3, "btSetResPWM", QStringLiteral("Установка cброса ШИМ"),
                         {356, 44, 150, 25});
    btClearResPWM =
        button(GroupBox3, "btClearResPWM", QStringLiteral("Снятие сброса ШИМ"), {356, 72, 150, 25});
    onClicked(btReadPWM, handler(this, &TPidVal::btReadPWMClick));
    onClicked(btSetResPWM, handler(this, &TPidVal::btSetResPWMClick));
    onClicked(btClearResPWM, handler(this, &TPidVal::btClearResPWMClick));

    GroupBox4 = named(new QGroupBox(QStringLiteral("Управление выходами"), this), "GroupBox4");
    GroupBox4->setGeometry(216, 442, 233, 77);
    rgContrOut1 = radioGroup(GroupBox4, "rgContrOut1", QStringLiteral("Выход 1"),
                             {QStringLiteral("0"), QStringLiteral("1")}, {8, 14, 70, 58});
    rgContrOut2 = radioGroup(GroupBox4, "rgContrOut2", QStringLiteral("Выход 2"),
                             {QStringLiteral("0"), QStringLiteral("1")}, {84, 14, 70, 58});
    rgContrOut1->setOnClick(handler(this, &TPidVal::rgContrOut1Click));
    rgContrOut2->setOnClick(handler(this, &TPidVal::rgContrOut2Click));
    btReadOut = button(GroupBox4, "btReadOut", QStringLiteral("Считать"), {160, 30, 65, 25});
    onClicked(btReadOut, handler(this, &TPidVal::btReadOutClick));
}
