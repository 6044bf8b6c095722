#pragma once
// A check every window test can run: no label, button, radio item, check box
// or group caption shows a text wider than the room its widget gives it.

#include <QStringList>

#include <string>

class QWidget;

namespace qmt::test {

// One line per clipped text ("objectName: 'text' needs 120 px, has 96"), for
// every such widget visible in the window of root; empty when all fit.
QStringList clippedTexts(QWidget* root);
// The same as one text, for EXPECT_EQ(clippedTextReport(window), "").
std::string clippedTextReport(QWidget* root);
// The window of root's caption against the width of a title bar that holds
// it whole beside a window manager's icon and buttons; empty when it fits.
std::string clippedTitleReport(QWidget* root);

// One line per radio item or check box of a captioned group in the window of
// root that the window does not show as the item draws itself (a frame line
// or the caption across it, or cut off by the group), from a grab of both;
// empty when every one shows whole.
std::string unframedItemReport(QWidget* root);

} // namespace qmt::test
