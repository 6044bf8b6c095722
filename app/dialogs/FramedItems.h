#pragma once
// Radio items of a captioned group placed inside its frame: the style draws the
// frame's top line below the caption, and an item laid out from the caption's
// height alone sits on that line.

namespace qmt {

class RadioGroup;

// Shares the room inside the frame evenly between the items. Call after the
// group has its geometry, caption and items.
void PlaceItemsInFrame(RadioGroup* group);

} // namespace qmt
