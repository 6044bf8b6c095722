#include "dialogs/FramedItems.h"

#include "common/RadioGroup.h"

#include <QStyle>
#include <QStyleOptionGroupBox>

namespace qmt {

void PlaceItemsInFrame(RadioGroup* group) {
    if (!group || group->count() == 0) return;
    QStyleOptionGroupBox option;
    option.initFrom(group);
    option.text = group->title();
    option.lineWidth = 1;
    option.textAlignment = group->alignment();
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    const QRect inside = group->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                        QStyle::SC_GroupBoxContents, group);
    const int pitch = inside.height() / group->count();
    group->setItemRows(inside.top() + pitch / 2, pitch);
}

} // namespace qmt
