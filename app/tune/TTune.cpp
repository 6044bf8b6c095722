#include "tune/TTune.h"

#include "common/Ui.h"
#include "config/PidWrite.h"
#include "link/Errors.h"
#include "link/PortSettings.h"
#include "link/RegisterMap.h"
#include "link/StatusReport.h"

#include <qcustomplot.h>

#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

using namespace qmt::tune;

namespace {

QPushButton* button(QWidget* parent, const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

QLineEdit* edit(QWidget* parent, const char* name, const QString& text) {
    auto* e = new QLineEdit(text, parent);
    e->setObjectName(QLatin1String(name));
    return e;
}

QCustomPlot* plot(QWidget* parent, const char* name, const QString& yLabel) {
    auto* p = new QCustomPlot(parent);
    p->setObjectName(QLatin1String(name));
    p->setMinimumSize(520, 220);
    p->xAxis->setLabel(QStringLiteral("t, с"));
    p->yAxis->setLabel(yLabel);
    p->legend->setVisible(true);
    p->legend->setFont(parent->font());
    return p;
}

// The whole text as a whole number within min..max.
std::optional<int> wholeNumber(const QString& text, int min, int max) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    if (!ok || v < min || v > max) return std::nullopt;
    return v;
}

// Seconds, with a comma or a point, greater than 0.
std::optional<double> seconds(const QString& text) {
    bool ok = false;
    const double v = QString(text).replace(QLatin1Char(','), QLatin1Char('.')).trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v) || v <= 0) return std::nullopt;
    return v;
}

} // namespace

TTune::TTune(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Tune"));
    setWindowTitle(QStringLiteral("Настройка регулятора по скачку"));
    build();
    connect(&test_, &BumpTest::sampled, this, [this](double t, double xm) {
        plData->graph(0)->addData(t, xm);
        plData->rescaleAxes();
        plData->replot();
    });
    connect(&test_, &BumpTest::phaseChanged, this, [this](BumpTest::Phase p) {
        static const char* const texts[] = {"", "Ожидание установившегося Xm...",
                                            "Скачок выхода сделан, запись Xm...",
                                            "Восстановление регистра управления...", ""};
        lbPhase->setText(QString::fromUtf8(texts[int(p)]));
    });
    connect(&test_, &BumpTest::finished, this, &TTune::testEnded);
    connect(&test_, &BumpTest::restoreChanged, this, &TTune::restoreChanged);
    connect(&check_, &SetPointTest::sampled, this, [this](double t, double xs, double xm) {
        plLoop->graph(1)->addData(t, xm);
        plLoop->graph(2)->addData(t, xs);
        plLoop->rescaleAxes();
        plLoop->yAxis->scaleRange(1.15);
        plLoop->replot();
    });
    connect(&check_, &SetPointTest::finished, this, &TTune::checkEnded);
    connect(&check_, &SetPointTest::restoreChanged, this, &TTune::restoreChanged);
}

TTune::~TTune() {
    qmt::status().alert(QString());
}

void TTune::build() {
    auto* top = new QHBoxLayout(this);
    top->addWidget(buildSetup());
    auto* plots = new QVBoxLayout;
    plData = plot(this, "plData", QStringLiteral("Xm"));
    plData->addGraph();
    plData->graph(0)->setName(QStringLiteral("Xm, опыт"));
    plData->graph(0)->setLineStyle(QCPGraph::lsNone);
    plData->graph(0)->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, 4));
    plData->addGraph();
    plData->graph(1)->setName(QStringLiteral("модель"));
    plData->graph(1)->setPen(QPen(Qt::red, 2));
    plLoop = plot(this, "plLoop", QStringLiteral("Xm при скачке уставки"));
    for (const auto& [name, colour] : {std::pair{"прогноз", Qt::blue}, std::pair{"Xm, проверка", Qt::darkGreen},
                                       std::pair{"Xs, проверка", Qt::gray}}) {
        plLoop->addGraph()->setName(QString::fromUtf8(name));
        plLoop->graph(plLoop->graphCount() - 1)->setPen(QPen(colour, 2));
    }
    plots->addWidget(plData);
    plots->addWidget(plLoop);
    top->addLayout(plots, 1);
    top->addWidget(buildProposal());
}

QWidget* TTune::buildSetup() {
    auto* box = new QGroupBox(QStringLiteral("Опыт"), this);
    box->setObjectName(QStringLiteral("gbTest"));
    auto* form = new QFormLayout(box);
    cbRegulator = new QComboBox(box);
    cbRegulator->setObjectName(QStringLiteral("cbRegulator"));
    cbRegulator->addItems({QStringLiteral("ПИД1"), QStringLiteral("ПИД2"), QStringLiteral("ПИД3")});
    form->addRow(QStringLiteral("Регулятор"), cbRegulator);
    btRead = button(box, "btRead", QStringLiteral("Считать"));
    form->addRow(btRead);
    lbState = new QLabel(box);
    lbState->setObjectName(QStringLiteral("lbState"));
    form->addRow(lbState);
    edStep = edit(box, "edStep", QStringLiteral("500"));
    form->addRow(QStringLiteral("Скачок выхода ΔY"), edStep);
    edMaxTime = edit(box, "edMaxTime", QStringLiteral("600"));
    form->addRow(QStringLiteral("Время опыта, с, не более"), edMaxTime);
    btStart = button(box, "btStart", QStringLiteral("Пуск"));
    btStop = button(box, "btStop", QStringLiteral("Отмена"));
    auto* row = new QHBoxLayout;
    row->addWidget(btStart);
    row->addWidget(btStop);
    form->addRow(row);
    btRestore = button(box, "btRestore", QStringLiteral("Восстановить"));
    btRestore->setToolTip(QStringLiteral("Записать сохранённые регистр управления и значение для "
                                         "вывода ещё раз"));
    btRestore->hide();
    form->addRow(btRestore);
    lbPhase = new QLabel(box);
    lbPhase->setObjectName(QStringLiteral("lbPhase"));
    lbPhase->setWordWrap(true);
    form->addRow(lbPhase);
    box->setFixedWidth(250);
    qmt::onClicked(btRead, [this] { btReadClick(); });
    qmt::onClicked(btStart, [this] { btStartClick(); });
    qmt::onClicked(btStop, [this] { btStopClick(); });
    qmt::onClicked(btRestore, [this] { btRestoreClick(); });
    return box;
}

QWidget* TTune::buildProposal() {
    auto* box = new QGroupBox(QStringLiteral("Модель и предложение"), this);
    box->setObjectName(QStringLiteral("gbProposal"));
    auto* v = new QVBoxLayout(box);
    lbModel = new QLabel(box);
    lbModel->setObjectName(QStringLiteral("lbModel"));
    lbModel->setWordWrap(true);
    lbModel->setToolTip(QStringLiteral(
        "Модель первого порядка с запаздыванием: Xm меняется на K·ΔY с постоянной времени T "
        "после запаздывания L (метод наименьших квадратов, начало — по точкам 28 % и 63 %); "
        "ошибка — СКО остатков после скачка в % от изменения Xm"));
    v->addWidget(lbModel);
    auto* form = new QFormLayout;
    cbRule = new QComboBox(box);
    cbRule->setObjectName(QStringLiteral("cbRule"));
    cbRule->addItems({QStringLiteral("SIMC (ПИ)"), QStringLiteral("lambda/IMC (ПИД)")});
    form->addRow(QStringLiteral("Правило"), cbRule);
    cbSpeed = new QComboBox(box);
    cbSpeed->setObjectName(QStringLiteral("cbSpeed"));
    cbSpeed->addItems({QStringLiteral("быстро"), QStringLiteral("плавно"), QStringLiteral("τc, с:")});
    cbSpeed->setCurrentIndex(1);
    cbSpeed->setToolTip(QStringLiteral("«быстро»: τc = L, «плавно»: τc = 3L, или число секунд"));
    form->addRow(QStringLiteral("Скорость"), cbSpeed);
    edTc = edit(box, "edTc", QString());
    form->addRow(QStringLiteral("τc, с"), edTc);
    v->addLayout(form);
    sgProposal = new QTableWidget(3, 4, box);
    sgProposal->setObjectName(QStringLiteral("sgProposal"));
    sgProposal->setHorizontalHeaderLabels({QStringLiteral("Сейчас"), QStringLiteral("слово"),
                                           QStringLiteral("Предложено"), QStringLiteral("слово")});
    sgProposal->setVerticalHeaderLabels({QStringLiteral("Kp"), QStringLiteral("Ti, с"), QStringLiteral("Td, с")});
    sgProposal->setEditTriggers(QAbstractItemView::NoEditTriggers);
    sgProposal->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    sgProposal->setFixedHeight(sgProposal->horizontalHeader()->sizeHint().height() +
                               3 * sgProposal->verticalHeader()->defaultSectionSize() + 4);
    v->addWidget(sgProposal);
    lbNotes = new QLabel(box);
    lbNotes->setObjectName(QStringLiteral("lbNotes"));
    lbNotes->setWordWrap(true);
    v->addWidget(lbNotes);
    btWrite = button(box, "btWrite", QStringLiteral("Записать"));
    btWrite->setEnabled(false);
    v->addWidget(btWrite);
    auto* check = new QFormLayout;
    edSpStep = edit(box, "edSpStep", QStringLiteral("200"));
    check->addRow(QStringLiteral("Скачок уставки"), edSpStep);
    v->addLayout(check);
    btVerify = button(box, "btVerify", QStringLiteral("Проверить"));
    v->addWidget(btVerify);
    lbVerify = new QLabel(box);
    lbVerify->setObjectName(QStringLiteral("lbVerify"));
    lbVerify->setWordWrap(true);
    v->addWidget(lbVerify);
    v->addStretch(1);
    box->setFixedWidth(330);
    qmt::onClicked(btWrite, [this] { btWriteClick(); });
    qmt::onClicked(btVerify, [this] { btVerifyClick(); });
    connect(cbRule, &QComboBox::currentIndexChanged, this, [this] { qmt::guarded([this] { showProposal(); }); });
    connect(cbSpeed, &QComboBox::currentIndexChanged, this, [this] { qmt::guarded([this] { showProposal(); }); });
    connect(edTc, &QLineEdit::editingFinished, this, [this] { qmt::guarded([this] { showProposal(); }); });
    return box;
}

int TTune::regulator() const {
    return cbRegulator->currentIndex();
}

void TTune::btReadClick() {
    state_ = readRegulator(regulator());
    showState();
}

void TTune::btStartClick() {
    const auto dy = wholeNumber(edStep->text(), -32768, 32767);
    if (!dy || *dy == 0)
        throw qmt::Exception(QStringLiteral("Скачок выхода ΔY: нужно целое число от -32768 до 32767, не 0."));
    const auto maxTime = seconds(edMaxTime->text());
    if (!maxTime) throw qmt::Exception(QStringLiteral("Время опыта: нужно число секунд больше 0."));
    state_ = readRegulator(regulator());
    showState();
    const QString refusal = stepRefusal(state_, *dy);
    if (!refusal.isEmpty()) throw qmt::Exception(refusal);
    if (qmt::showMessage(QStringLiteral("Выход регулятора будет принудительно удержан и изменён "
                                        "скачком: объект придёт в движение. Начать опыт?"),
                         QString(), qmt::MsgIcon::Question, this,
                         QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    plData->graph(0)->data()->clear();
    plData->graph(1)->data()->clear();
    lbModel->clear();
    btWrite->setEnabled(false);
    BumpSetup setup;
    setup.regulator = regulator();
    setup.outputStep = *dy;
    setup.maxTime = *maxTime;
    test_.start(setup);
}

void TTune::btStopClick() {
    test_.cancel();
    check_.cancel();
}

void TTune::btRestoreClick() {
    if (!test_.restoreNow() || !check_.restoreNow())
        throw qmt::Exception(QStringLiteral("Модуль не ответил: регистр управления не восстановлен, "
                                            "попытки продолжаются."));
}

void TTune::btWriteClick() {
    const auto p = proposal();
    if (!p) return;
    const int n = test_.setup().regulator;
    const QString text =
        QStringLiteral("Записать в ПИД%1:\nKp %2 → %3\nTi %4 → %5\nTd %6 → %7\n(слова модуля)?")
            .arg(n + 1)
            .arg(state_.kp)
            .arg(p->words.kp)
            .arg(state_.ti)
            .arg(p->words.ti)
            .arg(state_.td)
            .arg(p->words.td);
    if (qmt::showMessage(text, QString(), qmt::MsgIcon::Question, this,
                         QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    using qmt::reg::pid::Kp, qmt::reg::pid::Ti, qmt::reg::pid::Td, qmt::reg::pid::XsDef;
    const std::vector<std::pair<int, uint16_t>> words = {
        {Kp - XsDef, p->words.kp}, {Ti - XsDef, p->words.ti}, {Td - XsDef, p->words.td}};
    {
        qmt::BusyCursor busy;
        qmt::WritePidParameters(n, words);
    }
    qmt::StorePidParameters(n, words);
    state_ = readRegulator(n);
    showState();
    showProposal();
    qmt::status().confirm(QStringLiteral("ПИД%1: записаны Kp %2, Ti %3, Td %4")
                              .arg(n + 1)
                              .arg(p->words.kp)
                              .arg(p->words.ti)
                              .arg(p->words.td));
}

void TTune::btVerifyClick() {
    const auto step = wholeNumber(edSpStep->text(), -32768, 32767);
    if (!step || *step == 0)
        throw qmt::Exception(QStringLiteral("Скачок уставки: нужно целое число от -32768 до 32767, не 0."));
    for (int g : {1, 2})
        plLoop->graph(g)->data()->clear();
    // The prediction for this step from the loop as it stands now.
    state_ = readRegulator(test_.setup().regulator);
    showState();
    showPrediction();
    const double duration = predictedSettle_ > 0 ? 2.5 * predictedSettle_ : 60.0;
    check_.start(test_.setup().regulator, *step, duration);
}

void TTune::closeEvent(QCloseEvent* event) {
    btStopClick();
    QDialog::closeEvent(event);
}

void TTune::restoreChanged() {
    const bool pending = test_.restorePending() || check_.restorePending();
    const bool waiting = pending && (test_.phase() == BumpTest::Phase::Restoring ||
                                     (check_.restorePending() && !check_.running()));
    btRestore->setVisible(waiting);
    btStart->setEnabled(!pending);
    btVerify->setEnabled(!pending);
    qmt::status().alert(
        pending ? QStringLiteral("ПИД%1: регистр управления или уставка ещё не восстановлены")
                      .arg(test_.setup().regulator + 1)
                : QString());
}
