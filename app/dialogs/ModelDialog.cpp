#include "dialogs/ModelDialog.h"

#include "common/Ui.h"

namespace qmt {

void OpenFromConfig(ModelDialog* dialog) {
    if (!dialog) return;
    dialog->LoadFromConfig();
    prompts().execModal(dialog);
}

void OpenFromConfig(ItemDialog* dialog, int tag) {
    if (!dialog) return;
    dialog->Tag = tag;
    OpenFromConfig(static_cast<ModelDialog*>(dialog));
}

} // namespace qmt
