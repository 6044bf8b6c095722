// The live store's bound, its memory and clearing it.
#include "ui/StoreControls.h"

#include "common/Ui.h"
#include "core/Dataset.h"
#include "ui/TraceLog.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QToolBar>

#include <cmath>

namespace curvix {
namespace {

struct KeepChoice {
    const char* text;
    int64_t ms;
};
const KeepChoice kKeeps[] = {{"1 ч", 3'600'000}, {"24 ч", 86'400'000}, {"всё", 0}};

} // namespace

StoreControls::StoreControls(QToolBar* tools, Dataset& data, TraceLog& trace,
                             std::function<void()> refresh, std::function<void()> cleared)
    : data_(data), trace_(trace), refresh_(std::move(refresh)), cleared_(std::move(cleared)) {
    tools->addSeparator();
    auto* keepLabel = new QLabel(QStringLiteral(" Хранить: "), tools);
    keepLabel->setObjectName(QStringLiteral("lbKeep"));
    tools->addWidget(keepLabel);
    cbKeep_ = new QComboBox(tools);
    cbKeep_->setObjectName(QStringLiteral("cbKeep"));
    cbKeep_->setToolTip(QStringLiteral("Более старые отсчёты удаляются блоками"));
    for (const KeepChoice& k : kKeeps)
        cbKeep_->addItem(QString::fromUtf8(k.text), qlonglong(k.ms));
    cbKeep_->setCurrentIndex(1);
    data_.setRetention(kKeeps[1].ms);
    QObject::connect(cbKeep_, &QComboBox::activated, cbKeep_,
                     [this] { qmt::guarded([this] { cbKeepChange(); }); });
    tools->addWidget(cbKeep_);
    lbMemory_ = new QLabel(tools);
    lbMemory_->setObjectName(QStringLiteral("lbMemory"));
    lbMemory_->setMinimumWidth(
        lbMemory_->fontMetrics().horizontalAdvance(QStringLiteral(" 9999,9 МБ ")) + 4);
    lbMemory_->setAlignment(Qt::AlignCenter);
    lbMemory_->setToolTip(QStringLiteral("Память, занятая отсчётами"));
    tools->addWidget(lbMemory_);
    btClear_ = new QPushButton(QStringLiteral("Очистить"), tools);
    btClear_->setObjectName(QStringLiteral("btClear"));
    qmt::onClicked(btClear_, [this] { btClearClick(); });
    tools->addWidget(btClear_);
}

void StoreControls::setRetention(int64_t keepMs) {
    for (int i = 0; i < cbKeep_->count(); ++i)
        if (cbKeep_->itemData(i).toLongLong() == keepMs) cbKeep_->setCurrentIndex(i);
    data_.setRetention(keepMs);
    refresh_();
}

void StoreControls::cbKeepChange() {
    setRetention(cbKeep_->currentData().toLongLong());
}

void StoreControls::btClearClick() {
    if (data_.sampleCount() > 0 &&
        qmt::showMessage(QStringLiteral("Удалить все принятые отсчёты?"), QStringLiteral("CURVIX"),
                         qmt::MsgIcon::Question, btClear_->window(),
                         QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    data_.clear();
    trace_.line(QStringLiteral("cleared"));
    cleared_();
}

QString StoreControls::memoryText() const {
    const double bytes = double(data_.memoryBytes());
    if (bytes < 1024.0 * 1024.0)
        return QString::number(std::ceil(bytes / 1024.0)) + QStringLiteral(" КБ");
    QString text = QString::number(bytes / (1024.0 * 1024.0), 'f', 1);
    text.replace(QLatin1Char('.'), QLatin1Char(','));
    return text + QStringLiteral(" МБ");
}

void StoreControls::updateMemory() {
    lbMemory_->setText(memoryText());
}

} // namespace curvix
