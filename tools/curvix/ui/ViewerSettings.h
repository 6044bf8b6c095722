#pragma once
// What the viewer keeps between runs, in the user's configuration folder
// (curvix/curvix.ini): per window kind its size, splitter, scaling, span and
// bound of the store; per channel name its colour, visibility and axis, and
// the colour dialog that changes one.

#include <QByteArray>
#include <QColor>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>

class QWidget;

namespace curvix {

class ChannelPanel;
struct Channel;
class Dataset;

// The state of a window as kept; an empty field was not kept.
struct WindowState {
    QByteArray geometry, splitter;
    std::optional<bool> autoY;
    std::optional<int64_t> spanMs, keepMs; // live window only
};

class ViewerSettings {
public:
    // live: the live window and a log's keep their own window state.
    ViewerSettings(bool live, const Dataset& data, ChannelPanel* panel, QWidget* owner,
                   std::function<void()> refresh);

    WindowState loadWindow() const;
    void saveWindow(const WindowState& state) const;

    // A channel's kept flags and colour, the first time it is shown.
    void restoreChannel(Channel& channel);
    void saveChannel(const Channel& channel) const;
    QColor channelColor(const Channel& channel) const;
    // Asks for a curve's colour (kept by its name); false when cancelled.
    bool chooseColor(int32_t id);

private:
    QString group() const;

    bool live_;
    const Dataset& data_;
    ChannelPanel* panel_;
    QWidget* owner_;
    std::function<void()> refresh_;
    std::map<int32_t, QColor> colors_; // kept from an earlier run, by name
};

} // namespace curvix
