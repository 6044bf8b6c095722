#include "link/TTrafficMonitor.h"

#include "common/Ui.h"
#include "link/Errors.h"

#include <QCheckBox>
#include <QFile>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace qmt {
namespace {

enum Column { TimeColumn, DirectionColumn, BytesColumn, SummaryColumn, Columns };

} // namespace

int TrafficModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(frames_.size());
}

int TrafficModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Columns;
}

QVariant TrafficModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return QVariant();
    const TrafficFrame& f = frames_[static_cast<size_t>(index.row())];
    // A long frame stands whole in its tooltip.
    if (role == Qt::ToolTipRole && index.column() == BytesColumn) return FrameHex(f.bytes);
    if (role != Qt::DisplayRole) return QVariant();
    switch (index.column()) {
    case TimeColumn:
        return f.time;
    case DirectionColumn:
        return FrameDirection(f);
    case BytesColumn:
        return f.bytes.isEmpty() ? QStringLiteral("--") : FrameHex(f.bytes);
    default:
        return FrameSummary(f);
    }
}

QVariant TrafficModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QVariant();
    static const char* const titles[Columns] = {"Время", "Направление", "Байты", "Описание"};
    return section >= 0 && section < Columns ? QString::fromUtf8(titles[section]) : QVariant();
}

void TrafficModel::add(const TrafficFrame& frame) {
    if (frames_.size() >= MaxFrames) {
        beginRemoveRows(QModelIndex(), 0, 0);
        frames_.pop_front();
        endRemoveRows();
    }
    const int row = static_cast<int>(frames_.size());
    beginInsertRows(QModelIndex(), row, row);
    frames_.push_back(frame);
    endInsertRows();
}

void TrafficModel::clear() {
    beginResetModel();
    frames_.clear();
    endResetModel();
}

} // namespace qmt

TTrafficMonitor::TTrafficMonitor(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::WindowMaximizeButtonHint) {
    setObjectName(QStringLiteral("TrafficMonitor"));
    setWindowTitle(QStringLiteral("Монитор обмена"));
    frames_ = new qmt::TrafficModel(this);

    sgFrames = new QTableView(this);
    sgFrames->setObjectName(QStringLiteral("sgFrames"));
    sgFrames->setModel(frames_);
    sgFrames->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    sgFrames->verticalHeader()->hide();
    sgFrames->verticalHeader()->setDefaultSectionSize(sgFrames->fontMetrics().height() + 4);
    sgFrames->setSelectionBehavior(QAbstractItemView::SelectRows);
    sgFrames->setWordWrap(false);
    const QFontMetrics m = sgFrames->fontMetrics();
    sgFrames->setColumnWidth(qmt::TimeColumn,
                             m.horizontalAdvance(QStringLiteral("00:00:00.000000")) + 16);
    sgFrames->setColumnWidth(qmt::DirectionColumn,
                             sgFrames->horizontalHeader()->fontMetrics().horizontalAdvance(
                                 QStringLiteral("Направление")) +
                                 20);
    sgFrames->setColumnWidth(qmt::BytesColumn, m.horizontalAdvance(QLatin1Char('0')) * 3 * 17 + 16);
    sgFrames->horizontalHeader()->setStretchLastSection(true);

    chbPause = new QCheckBox(QStringLiteral("Пауза"), this);
    chbPause->setObjectName(QStringLiteral("chbPause"));
    chbPause->setToolTip(QStringLiteral("Пока отмечено, новые кадры не записываются"));
    lbCount = new QLabel(this);
    lbCount->setObjectName(QStringLiteral("lbCount"));
    btClear = new QPushButton(QStringLiteral("Очистить"), this);
    btClear->setObjectName(QStringLiteral("btClear"));
    btSave = new QPushButton(QStringLiteral("Сохранить"), this);
    btSave->setObjectName(QStringLiteral("btSave"));
    btClose = new QPushButton(QStringLiteral("Закрыть"), this);
    btClose->setObjectName(QStringLiteral("btClose"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(chbPause);
    buttons->addWidget(lbCount, 1);
    buttons->addWidget(btClear);
    buttons->addWidget(btSave);
    buttons->addWidget(btClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(sgFrames, 1);
    layout->addLayout(buttons);
    resize(1020, 420);

    qmt::onClicked(btClear, qmt::handler(this, &TTrafficMonitor::btClearClick));
    qmt::onClicked(btSave, qmt::handler(this, &TTrafficMonitor::btSaveClick));
    connect(btClose, &QPushButton::clicked, this, &QDialog::close);
    connect(frames_, &QAbstractItemModel::rowsInserted, this, [this] {
        lbCount->setText(QStringLiteral("Кадров: %1").arg(frames_->rowCount()));
        sgFrames->scrollToBottom();
    });
    connect(frames_, &QAbstractItemModel::modelReset, this,
            [this] { lbCount->setText(QStringLiteral("Кадров: 0")); });
    lbCount->setText(qmt::TrafficTap::available()
                         ? QStringLiteral("Кадров: 0")
                         : QStringLiteral("Библиотека связи не передаёт кадры обмена"));
}

TTrafficMonitor::~TTrafficMonitor() {
    if (listener_) qmt::traffic().stop(listener_);
}

void TTrafficMonitor::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!listener_)
        listener_ = qmt::traffic().listen([this](const qmt::TrafficFrame& f) { take(f); });
}

void TTrafficMonitor::hideEvent(QHideEvent* event) {
    if (listener_) qmt::traffic().stop(listener_);
    listener_ = 0;
    QDialog::hideEvent(event);
}

void TTrafficMonitor::take(const qmt::TrafficFrame& frame) {
    if (!chbPause->isChecked()) frames_->add(frame);
}

void TTrafficMonitor::btClearClick() {
    frames_->clear();
}

void TTrafficMonitor::btSaveClick() {
    qmt::FileDialogRequest request;
    request.owner = this;
    request.caption = QStringLiteral("Сохранить обмен");
    request.filter = QStringLiteral("Текстовые файлы (*.txt);;Все файлы (*)");
    request.defaultSuffix = QStringLiteral("txt");
    const QString path = qmt::prompts().saveFileName(request);
    if (path.isEmpty()) return;
    QByteArray text;
    for (const qmt::TrafficFrame& f : frames_->frames())
        text += qmt::FrameLine(f).toUtf8() + '\n';
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text) ||
        file.write(text) != text.size() || !file.flush())
        throw qmt::Exception(QStringLiteral("Невозможно записать файл ") + path);
}
