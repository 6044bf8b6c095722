#pragma once
// The parameter dialogs the main window opens from its diagram: each is filled
// from the configuration model before every showing and stores into it on
// "Записать". One of them serves several items (regulators, input channels)
// and is told which by its Tag.

#include <QDialog>

namespace qmt {

class ModelDialog : public QDialog {
    Q_OBJECT
public:
    using QDialog::QDialog;

    // Fills the fields from the configuration model before each showing.
    virtual void LoadFromConfig() = 0;
};

class ItemDialog : public ModelDialog {
    Q_OBJECT
public:
    using ModelDialog::ModelDialog;

    // Index of the item (0..2), set by the main window before LoadFromConfig.
    int Tag = 0;
};

// Fills the dialog from the model (for the item tag) and shows it modally.
// Without the dialog (not created at start) nothing happens.
void OpenFromConfig(ModelDialog* dialog);
void OpenFromConfig(ItemDialog* dialog, int tag);

} // namespace qmt
