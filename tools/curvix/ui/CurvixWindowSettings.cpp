#include "ui/CurvixWindow.h"

#include "common/CheckBox.h"
#include "common/Ui.h"
#include "ui/ChannelPanel.h"
#include "ui/WindowCommon.h"

#include <QColorDialog>
#include <QComboBox>
#include <QSettings>
#include <QSplitter>

#include <algorithm>

namespace curvix {
namespace {

// In the user's XDG configuration folder: curvix/curvix.ini.
std::unique_ptr<QSettings> openSettings() {
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                       QStringLiteral("curvix"), QStringLiteral("curvix"));
}

// Channel names may hold the separators of settings keys.
QString channelKey(const QString& name) {
    return QStringLiteral("channels/") + QString::fromLatin1(name.toUtf8().toPercentEncoding());
}

} // namespace

QString CurvixWindow::settingsGroup() const {
    // A log window keeps its own size and splitter, the live one its own span.
    return live_ ? QStringLiteral("live") : QStringLiteral("log");
}

void CurvixWindow::loadSettings() {
    auto s = openSettings();
    s->beginGroup(settingsGroup());
    if (s->contains(QStringLiteral("geometry")))
        restoreGeometry(s->value(QStringLiteral("geometry")).toByteArray());
    if (s->contains(QStringLiteral("splitter")))
        splitter_->restoreState(s->value(QStringLiteral("splitter")).toByteArray());
    if (s->contains(QStringLiteral("autoY")))
        chbAutoY_->QCheckBox::setChecked(s->value(QStringLiteral("autoY")).toBool());
    if (live_ && s->contains(QStringLiteral("keep")))
        setRetention(s->value(QStringLiteral("keep")).toLongLong());
    if (live_ && s->contains(QStringLiteral("span"))) {
        const qlonglong span = s->value(QStringLiteral("span")).toLongLong();
        for (int i = 0; i < cbSpan_->count(); ++i)
            if (cbSpan_->itemData(i).toLongLong() == span) {
                cbSpan_->setCurrentIndex(i);
                spanMs_ = span;
            }
    }
}

void CurvixWindow::saveSettings() const {
    auto s = openSettings();
    s->beginGroup(settingsGroup());
    s->setValue(QStringLiteral("geometry"), saveGeometry());
    s->setValue(QStringLiteral("splitter"), splitter_->saveState());
    s->setValue(QStringLiteral("autoY"), autoY());
    if (live_) {
        s->setValue(QStringLiteral("span"), qlonglong(spanMs_));
        s->setValue(QStringLiteral("keep"), qlonglong(data_.retention()));
    }
}

void CurvixWindow::restoreChannel(Channel& channel) {
    if (channel.name.isEmpty()) return;
    auto s = openSettings();
    // Two curves never share a colour. A kept colour goes to its channel
    // unless a curve shows it already; a channel without one takes none that
    // another channel here keeps.
    std::vector<QColor> shown, kept;
    for (const Channel* other : data_.channels()) {
        if (other->id == channel.id) continue;
        if (colors_.count(other->id)) shown.push_back(colors_.at(other->id));
        const QColor k(s->value(channelKey(other->name) + QStringLiteral("/color")).toString());
        if (k.isValid()) kept.push_back(k);
    }
    s->beginGroup(channelKey(channel.name));
    channel.visible = s->value(QStringLiteral("visible"), channel.visible).toBool();
    channel.rightAxis = s->value(QStringLiteral("rightAxis"), channel.rightAxis).toBool();
    auto isTaken = [&](const QColor& c) {
        return std::find(shown.begin(), shown.end(), c) != shown.end() ||
               std::find(kept.begin(), kept.end(), c) != kept.end();
    };
    QColor color(s->value(QStringLiteral("color")).toString());
    if (!color.isValid() || std::find(shown.begin(), shown.end(), color) != shown.end()) {
        color = channelColor(channel);
        for (int i = 0; i < 64 && isTaken(color); ++i)
            color = colorOf(i);
        // The colour it got now is the one it keeps.
        s->setValue(QStringLiteral("color"), color.name());
    }
    colors_[channel.id] = color;
}

void CurvixWindow::saveChannel(const Channel& channel) const {
    if (channel.name.isEmpty()) return;
    auto s = openSettings();
    s->beginGroup(channelKey(channel.name));
    s->setValue(QStringLiteral("visible"), channel.visible);
    s->setValue(QStringLiteral("rightAxis"), channel.rightAxis);
    s->setValue(QStringLiteral("color"), channelColor(channel).name());
}

bool CurvixWindow::chooseColor(int32_t id) {
    Channel* channel = nullptr;
    for (Channel* c : data_.channels())
        if (c->id == id) channel = c;
    if (!channel) return false;
    QColorDialog dialog(channelColor(*channel), this);
    dialog.setObjectName(QStringLiteral("dlgColor"));
    dialog.setWindowTitle(QStringLiteral("Цвет: ") + channel->name);
    if (qmt::prompts().execModal(&dialog) != QDialog::Accepted) return false;
    const QColor color = dialog.currentColor();
    if (!color.isValid()) return false;
    colors_[id] = color;
    panel_->setColor(id, color);
    saveChannel(*channel);
    refresh();
    return true;
}

QColor CurvixWindow::channelColor(const Channel& channel) const {
    auto it = colors_.find(channel.id);
    return it != colors_.end() ? it->second : colorOf(channel.colorIndex);
}

} // namespace curvix
