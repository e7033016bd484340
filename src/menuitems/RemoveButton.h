#pragma once

#include "menuitems/RowRequestButton.h"

// Asks the row's delegate to remove the row's model.
class RemoveButton : public RowRequestButton {
public:
    RemoveButton(LMMenuItem *row, QWidget *parent)
        : RowRequestButton(Request::Remove, row, parent) {}
};
