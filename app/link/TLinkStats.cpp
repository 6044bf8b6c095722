#include "link/TLinkStats.h"

#include "common/Ui.h"
#include "link/Errors.h"
#include "link/LinkStats.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTimer>

namespace {

constexpr int RefreshMs = 500;

QString milliseconds(double ms) {
    return QLocale().toString(ms, 'f', 1) + QStringLiteral(" мс");
}

QString timeText(const QDateTime& t) {
    return t.isValid() ? t.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss")) : QString();
}

} // namespace

TLinkStats::TLinkStats(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("LinkStats"));
    setWindowTitle(QStringLiteral("Статистика связи"));
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(16);
    setLayout(grid);
    int row = 0;
    lbSince = value("lbStatSince", QStringLiteral("Порт открыт"), row++);
    lbSinceCaption = findChild<QLabel*>(QStringLiteral("lbStatSinceCaption"));
    lbRequests = value("lbStatRequests", QStringLiteral("Запросов"), row++);
    lbGood = value("lbStatGood", QStringLiteral("Успешных ответов"), row++);
    lbNoAnswer = value("lbStatNoAnswer", QStringLiteral("Нет ответа"), row++);
    lbCrc = value("lbStatCrc", QStringLiteral("Ошибок CRC"), row++);
    lbExceptions = value("lbStatExceptions", QStringLiteral("Исключений модуля"), row++);
    lbOther = value("lbStatOther", QStringLiteral("Прочих ошибок ответа"), row++);
    const QString timeTip = QStringLiteral(
        "От вызова библиотеки до возврата, по успешным запросам: запрос, ответ модуля, смена приоритета и пауза 62 битовых интервала после обмена (на сетевом порту паузы нет)");
    lbMeanTime =
        value("lbStatMeanTime", QStringLiteral("Время обмена с паузой, среднее"), row++, timeTip);
    lbMaxTime =
        value("lbStatMaxTime", QStringLiteral("Время обмена с паузой, наибольшее"), row++, timeTip);
    lbLastError = value("lbStatLastError", QStringLiteral("Последняя ошибка"), row++);
    lbExceptions->setTextFormat(Qt::PlainText);

    btReset = new QPushButton(QStringLiteral("Обнулить"), this);
    btReset->setObjectName(QStringLiteral("btStatReset"));
    btClose = new QPushButton(QStringLiteral("Закрыть"), this);
    btClose->setObjectName(QStringLiteral("btStatClose"));
    btClose->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btReset);
    buttons->addWidget(btClose);
    grid->addLayout(buttons, row, 0, 1, 2);
    grid->setColumnMinimumWidth(1, 260);

    qmt::onClicked(btReset, qmt::handler(this, &TLinkStats::btResetClick));
    qmt::onClicked(btClose, [this] { close(); });
    tmRefresh = new QTimer(this);
    tmRefresh->setInterval(RefreshMs);
    connect(tmRefresh, &QTimer::timeout, this, &TLinkStats::refresh);
    refresh();
}

QLabel* TLinkStats::value(const char* name, const QString& caption, int row, const QString& tip) {
    auto* grid = static_cast<QGridLayout*>(layout());
    auto* title = new QLabel(caption, this);
    title->setObjectName(QString::fromLatin1(name) + QStringLiteral("Caption"));
    title->setToolTip(tip);
    grid->addWidget(title, row, 0, Qt::AlignLeft | Qt::AlignTop);
    auto* label = new QLabel(this);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setToolTip(tip);
    grid->addWidget(label, row, 1, Qt::AlignLeft | Qt::AlignTop);
    return label;
}

void TLinkStats::showEvent(QShowEvent* event) {
    refresh();
    tmRefresh->start();
    QDialog::showEvent(event);
}

void TLinkStats::hideEvent(QHideEvent* event) {
    tmRefresh->stop();
    QDialog::hideEvent(event);
}

void TLinkStats::btResetClick() {
    qmt::ResetLinkStatistics(qmt::CountsSince::Zeroed);
    refresh();
}

void TLinkStats::refresh() {
    const qmt::LinkStatistics& s = qmt::linkStatistics();
    lbSinceCaption->setText(s.sinceWhat == qmt::CountsSince::Zeroed
                                ? QStringLiteral("Обнулено")
                                : QStringLiteral("Порт открыт"));
    lbSince->setText(timeText(s.since));
    lbRequests->setText(QString::number(s.requests));
    lbGood->setText(QString::number(s.good));
    lbNoAnswer->setText(QString::number(s.noAnswer));
    lbCrc->setText(QString::number(s.crcErrors));
    QString exceptions = QString::number(s.exceptionCount());
    for (const auto& [code, count] : s.exceptions) {
        exceptions += QStringLiteral("\nкод %1 (%2): %3")
                          .arg(code)
                          .arg(qmt::ECommError::messageFor(code))
                          .arg(count);
    }
    lbExceptions->setText(exceptions);
    lbOther->setText(QString::number(s.otherErrors));
    lbMeanTime->setText(s.good ? milliseconds(s.meanMs()) : QStringLiteral("—"));
    lbMaxTime->setText(s.good ? milliseconds(s.maxMs) : QStringLiteral("—"));
    lbLastError->setText(s.lastError ? QStringLiteral("%1 (код %2), %3")
                                           .arg(qmt::ECommError::messageFor(s.lastError))
                                           .arg(s.lastError)
                                           .arg(timeText(s.lastErrorAt))
                                     : QStringLiteral("нет"));
}
