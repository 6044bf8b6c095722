#include "config/TConfigChanges.h"

#include "link/StatusReport.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

TConfigChanges::TConfigChanges(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("ConfigChanges"));
    setWindowTitle(QStringLiteral("Записать изменения"));
    lbChanges = new QLabel(this);
    lbChanges->setObjectName(QStringLiteral("lbChanges"));
    lvChanges = new QTreeWidget(this);
    lvChanges->setObjectName(QStringLiteral("lvChanges"));
    lvChanges->setRootIsDecorated(false);
    lvChanges->setHeaderLabels({QStringLiteral("Регистр"), QStringLiteral("Параметр"),
                                QStringLiteral("В модуле"), QStringLiteral("Новое")});
    lvChanges->header()->setStretchLastSection(false);
    lvChanges->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    lvChanges->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    lvChanges->setMinimumSize(620, 220);
    btWrite = new QPushButton(QStringLiteral("Записать"), this);
    btWrite->setObjectName(QStringLiteral("btWrite"));
    btCancel = new QPushButton(QStringLiteral("Отмена"), this);
    btCancel->setObjectName(QStringLiteral("btCancel"));
    btCancel->setDefault(true); // Enter alone never writes

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btWrite);
    buttons->addWidget(btCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lbChanges);
    layout->addWidget(lvChanges, 1);
    layout->addLayout(buttons);
    connect(btWrite, &QPushButton::clicked, this, &QDialog::accept);
    connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TConfigChanges::setChanges(const std::vector<qmt::ConfigDifference>& changes) {
    lvChanges->clear();
    for (const qmt::ConfigDifference& d : changes) {
        auto* item =
            new QTreeWidgetItem(QStringList{QString::number(d.address), d.name,
                                            QString::number(d.module), QString::number(d.wanted)});
        for (int column : {0, 2, 3})
            item->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
        lvChanges->addTopLevelItem(item);
    }
    lbChanges->setText(QStringLiteral("Будут записаны: ") +
                       qmt::RegisterCount(static_cast<int>(changes.size())));
}
