#pragma once

#include "menuitems/RowRequestButton.h"

// Asks the row's delegate to edit the row's model.
class EditButton : public RowRequestButton {
public:
    EditButton(LMMenuItem *row, QWidget *parent)
        : RowRequestButton(Request::Edit, row, parent) {}
};
