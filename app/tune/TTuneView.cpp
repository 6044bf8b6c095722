// What the tuning window shows: the regulator's state, the model over the
// data, the proposal beside the present words, the predicted response, and
// the check's measured figures beside the prediction.
#include "tune/TTune.h"

#include "common/StepFigures.h"
#include "link/Errors.h"
#include "tune/Predict.h"

#include <qcustomplot.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include <cmath>

using namespace qmt::tune;

namespace {

QString decimal(double v, int places) {
    return QString::number(v, 'f', places).replace(QLatin1Char('.'), QLatin1Char(','));
}

void setCell(QTableWidget* grid, int row, int column, const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    grid->setItem(row, column, item);
}

// Times in milliseconds for the step figures.
qmt::StepFigures figuresOf(const std::vector<double>& t, const std::vector<double>& xs,
                           const std::vector<double>& xm) {
    if (t.size() < 2) return {};
    std::vector<int64_t> ms;
    for (double v : t)
        ms.push_back(int64_t(std::lround(v * 1000)));
    const std::vector<float> s(xs.begin(), xs.end()), x(xm.begin(), xm.end());
    return qmt::stepFigures(qmt::StepSamples(ms, s), qmt::StepSamples(ms, x), ms.front(),
                            ms.back());
}

QString figure(const qmt::Figure& f, double scale, int places, const char* unit) {
    return f.known() ? decimal(f.value * scale, places) + QString::fromUtf8(unit) : QStringLiteral("—");
}

} // namespace

void TTune::showState() {
    const PidValues v = fromWords({state_.kp, state_.ti, state_.td});
    lbState->setText(QStringLiteral("Xm %1, Y %2\nKp %3, Ti %4 мс, Td %5 мс")
                         .arg(state_.xm)
                         .arg(state_.y)
                         .arg(decimal(v.kp, 2))
                         .arg(state_.ti * 2)
                         .arg(decimal(state_.td * 0.1, 1)));
}

void TTune::testEnded() {
    lbPhase->setText(test_.end() == BumpTest::End::Steady  ? QStringLiteral("Опыт завершён: Xm установилось.")
                     : test_.end() == BumpTest::End::TimeUp ? QStringLiteral("Опыт завершён: время вышло.")
                     : test_.end() == BumpTest::End::Cancelled
                         ? QStringLiteral("Опыт прерван, регулятор восстановлен.")
                         : QStringLiteral("Связь терялась, регулятор восстановлен."));
    if (test_.end() == BumpTest::End::Cancelled || test_.end() == BumpTest::End::LinkLost) return;
    id_ = test_.identification();
    if (id_.model.timeConstant > 0) {
        QVector<double> t, x;
        const StepRecord& r = test_.record();
        for (double at = r.t.front(); at <= r.t.back(); at += (r.t.back() - r.t.front()) / 400) {
            t << at;
            x << id_.fitted(at);
        }
        plData->graph(1)->setData(t, x, true);
        plData->replot();
    }
    const QString model = QStringLiteral("K = %1, T = %2 с, L = %3 с, ошибка модели %4 %")
                              .arg(decimal(id_.model.gain, 4))
                              .arg(decimal(id_.model.timeConstant, 2))
                              .arg(decimal(id_.model.deadTime, 2))
                              .arg(decimal(id_.fitErrorPct, 2));
    lbModel->setText(id_.ok() ? model : id_.reason);
    state_ = readRegulator(test_.setup().regulator);
    showState();
    showProposal();
}

std::optional<Proposal> TTune::proposal() const {
    if (!id_.ok()) return std::nullopt;
    double tc = closedLoopTime(cbSpeed->currentIndex() == 0 ? Speed::Fast : Speed::Smooth,
                               id_.model, state_.ts);
    if (cbSpeed->currentIndex() == 2) {
        bool ok = false;
        const double v = QString(edTc->text()).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
        if (!ok || !std::isfinite(v) || v <= 0)
            throw qmt::Exception(QStringLiteral("τc: нужно число секунд больше 0."));
        tc = v;
    }
    return propose(id_.model, cbRule->currentIndex() == 0 ? Rule::Simc : Rule::Lambda, tc,
                   state_.ts);
}

void TTune::showProposal() {
    const PidValues now = fromWords({state_.kp, state_.ti, state_.td});
    const uint16_t nowWords[] = {state_.kp, state_.ti, state_.td};
    const double nowValues[] = {now.kp, now.ti, now.td};
    for (int row = 0; row < 3; ++row) {
        setCell(sgProposal, row, 0, decimal(nowValues[row], row == 0 ? 2 : 3));
        setCell(sgProposal, row, 1, QString::number(nowWords[row]));
    }
    const auto p = proposal();
    btWrite->setEnabled(p.has_value());
    if (!p) {
        for (int row = 0; row < 3; ++row)
            for (int column : {2, 3})
                setCell(sgProposal, row, column, QString());
        lbNotes->clear();
        return;
    }
    const uint16_t words[] = {p->words.kp, p->words.ti, p->words.td};
    const double values[] = {p->written.kp, p->written.ti, p->written.td};
    for (int row = 0; row < 3; ++row) {
        setCell(sgProposal, row, 2, decimal(values[row], row == 0 ? 2 : 3));
        setCell(sgProposal, row, 3, QString::number(words[row]));
    }
    if (cbSpeed->currentIndex() != 2) edTc->setText(decimal(p->tc, 2));
    lbNotes->setText(p->notes.join(QLatin1Char('\n')));
    showPrediction();
}

void TTune::showPrediction() {
    const auto p = proposal();
    if (!p) return;
    LoopSetup loop;
    loop.words = p->words;
    loop.tsWord = state_.ts;
    loop.reverse = state_.reverse();
    loop.ymin = state_.ymin;
    loop.ymax = state_.ymax;
    loop.xm0 = state_.xm;
    loop.y0 = state_.y;
    const int step = edSpStep->text().trimmed().toInt();
    const double horizon = 10 * (id_.model.timeConstant + id_.model.deadTime);
    Response r = predictStep(id_.model, loop, step == 0 ? 100 : step, horizon, horizon / 500);
    r.t.insert(r.t.begin(), -horizon / 500); // the loop at rest just before the step
    r.xs.insert(r.xs.begin(), loop.xm0);
    r.xm.insert(r.xm.begin(), loop.xm0);
    const qmt::StepFigures f = figuresOf(r.t, r.xs, r.xm);
    predictedSettle_ = f.toTarget.settle5.known() ? f.toTarget.settle5.value / 1000 : horizon;
    plLoop->graph(0)->setData(QVector<double>(r.t.begin(), r.t.end()),
                              QVector<double>(r.xm.begin(), r.xm.end()), true);
    plLoop->rescaleAxes();
    plLoop->yAxis->scaleRange(1.15);
    plLoop->replot();
    lbVerify->setText(QStringLiteral("Прогноз: нарастание %1, перерегулирование %2, "
                                     "установление ±5 % %3")
                          .arg(figure(f.toTarget.rise, 0.001, 2, " с"))
                          .arg(figure(f.toTarget.overshoot, 1, 1, " %"))
                          .arg(figure(f.toTarget.settle5, 0.001, 2, " с")));
}

void TTune::checkEnded() {
    const qmt::StepFigures m = figuresOf(check_.t(), check_.xs(), check_.xm());
    const QString predicted = lbVerify->text().section(QLatin1Char('\n'), 0, 0);
    const QString measured =
        m.found ? QStringLiteral("Измерено: нарастание %1, перерегулирование %2, "
                                 "установление ±5 % %3")
                      .arg(figure(m.toTarget.rise, 0.001, 2, " с"))
                      .arg(figure(m.toTarget.overshoot, 1, 1, " %"))
                      .arg(figure(m.toTarget.settle5, 0.001, 2, " с"))
                : m.problem;
    lbVerify->setText(predicted + QLatin1Char('\n') + measured);
}
