// The measurements between the cursors: the statistics and step-response
// tables of the legend, and the same figures for the CSV export.
#include "ui/CursorTools.h"

#include "core/Dataset.h"
#include "core/Measure.h"
#include "ui/ChannelPanel.h"

#include <QLabel>

namespace curvix {

std::vector<int32_t> CursorTools::shownIds() const {
    std::vector<int32_t> ids;
    for (const Channel* c : data_.channels())
        if (c->visible) ids.push_back(c->id);
    return ids;
}

bool CursorTools::cursorRange(int64_t& t0, int64_t& t1) const {
    if (!cursorSet_[0] || !cursorSet_[1]) return false;
    t0 = std::min(cursorTime_[0], cursorTime_[1]);
    t1 = std::max(cursorTime_[0], cursorTime_[1]);
    return true;
}

void CursorTools::updateMeasurements() {
    int64_t t0, t1;
    const bool both = cursorRange(t0, t1);
    const std::vector<int32_t> ids = shownIds();
    // Nothing shown measures nothing: measure() takes an empty list as all.
    Measurements m;
    if (both && !ids.empty()) m = measure(data_, t0, t1, ids);
    std::size_t next = 0;
    for (const Channel* c : data_.channels()) {
        ChannelPanel::Row* row = panel_->row(c->id);
        if (!row) continue;
        panel_->setStatsShown(c->id, c->visible);
        const RangeStats* s = nullptr;
        while (next < m.channels.size() && m.channels[next].id < c->id)
            ++next;
        if (next < m.channels.size() && m.channels[next].id == c->id) s = &m.channels[next].stats;
        const auto texts = statTexts(s);
        for (std::size_t i = 0; i < texts.size(); ++i)
            if (row->stats[i]->text() != texts[i]) row->stats[i]->setText(texts[i]);
    }
    panel_->setStatsHead(both ? QStringLiteral("Между курсорами")
                              : QStringLiteral("Между курсорами: поставьте оба курсора"));

    std::vector<QString> heads;
    std::vector<std::array<QString, ChannelPanel::kStepRows>> figures;
    QStringList problems;
    bool steadyRows = false;
    for (const RegulatorStep& r : m.steps) {
        const QString name = QStringLiteral("ПИД%1").arg(r.pair.regulator);
        const StepFigures& f = r.figures;
        if (!f.found) {
            problems << name + QStringLiteral(": ") + f.problem;
            continue;
        }
        heads.push_back(name);
        figures.push_back(stepTexts(data_, f));
        steadyRows = steadyRows || f.offTarget;
    }
    panel_->setStepColumns(heads, figures, steadyRows);
    QString head = QStringLiteral("Переходная характеристика");
    if (!both)
        head += QStringLiteral(": поставьте оба курсора");
    else if (m.steps.empty())
        head += QStringLiteral(": нет пары Xs(k)n и Xm(k)n на графике");
    else if (!problems.isEmpty())
        head += QStringLiteral(" (") + problems.join(QStringLiteral("; ")) + QLatin1Char(')');
    panel_->setStepHead(head);
}

QStringList CursorTools::measurementLines() const {
    int64_t t0, t1;
    const std::vector<int32_t> ids = shownIds();
    if (!cursorRange(t0, t1) || ids.empty()) return {};
    return measurementComments(data_, measure(data_, t0, t1, ids));
}

} // namespace curvix
