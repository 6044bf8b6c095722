// The viewer's kept settings: the window's state by its kind, and each
// channel's colour, visibility and axis by its name.
#include "ui/ViewerSettings.h"

#include "common/Ui.h"
#include "core/Dataset.h"
#include "ui/ChannelPanel.h"
#include "ui/WindowCommon.h"

#include <QColorDialog>
#include <QSettings>

#include <algorithm>
#include <memory>

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

ViewerSettings::ViewerSettings(bool live, const Dataset& data, ChannelPanel* panel, QWidget* owner,
                               std::function<void()> refresh)
    : live_(live), data_(data), panel_(panel), owner_(owner), refresh_(std::move(refresh)) {}

QString ViewerSettings::group() const {
    // A log window keeps its own size and splitter, the live one its own span.
    return live_ ? QStringLiteral("live") : QStringLiteral("log");
}

WindowState ViewerSettings::loadWindow() const {
    auto s = openSettings();
    s->beginGroup(group());
    WindowState state;
    state.geometry = s->value(QStringLiteral("geometry")).toByteArray();
    state.splitter = s->value(QStringLiteral("splitter")).toByteArray();
    if (s->contains(QStringLiteral("autoY")))
        state.autoY = s->value(QStringLiteral("autoY")).toBool();
    if (live_ && s->contains(QStringLiteral("keep")))
        state.keepMs = s->value(QStringLiteral("keep")).toLongLong();
    if (live_ && s->contains(QStringLiteral("span")))
        state.spanMs = s->value(QStringLiteral("span")).toLongLong();
    return state;
}

void ViewerSettings::saveWindow(const WindowState& state) const {
    auto s = openSettings();
    s->beginGroup(group());
    s->setValue(QStringLiteral("geometry"), state.geometry);
    s->setValue(QStringLiteral("splitter"), state.splitter);
    if (state.autoY) s->setValue(QStringLiteral("autoY"), *state.autoY);
    if (live_ && state.spanMs) s->setValue(QStringLiteral("span"), qlonglong(*state.spanMs));
    if (live_ && state.keepMs) s->setValue(QStringLiteral("keep"), qlonglong(*state.keepMs));
}

void ViewerSettings::restoreChannel(Channel& channel) {
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

void ViewerSettings::saveChannel(const Channel& channel) const {
    if (channel.name.isEmpty()) return;
    auto s = openSettings();
    s->beginGroup(channelKey(channel.name));
    s->setValue(QStringLiteral("visible"), channel.visible);
    s->setValue(QStringLiteral("rightAxis"), channel.rightAxis);
    s->setValue(QStringLiteral("color"), channelColor(channel).name());
}

bool ViewerSettings::chooseColor(int32_t id) {
    const Channel* channel = nullptr;
    for (const Channel* c : data_.channels())
        if (c->id == id) channel = c;
    if (!channel) return false;
    QColorDialog dialog(channelColor(*channel), owner_);
    dialog.setObjectName(QStringLiteral("dlgColor"));
    dialog.setWindowTitle(QStringLiteral("Цвет: ") + channel->name);
    if (qmt::prompts().execModal(&dialog) != QDialog::Accepted) return false;
    const QColor color = dialog.currentColor();
    if (!color.isValid()) return false;
    colors_[id] = color;
    panel_->setColor(id, color);
    saveChannel(*channel);
    refresh_();
    return true;
}

QColor ViewerSettings::channelColor(const Channel& channel) const {
    auto it = colors_.find(channel.id);
    return it != colors_.end() ? it->second : colorOf(channel.colorIndex);
}

} // namespace curvix
