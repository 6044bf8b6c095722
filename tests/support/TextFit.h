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

} // namespace qmt::test
