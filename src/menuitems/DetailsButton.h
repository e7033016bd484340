#pragma once

#include "menuitems/RowRequestButton.h"

// Asks the row's delegate to show the details of the row's model.
class DetailsButton : public RowRequestButton {
public:
    DetailsButton(LMMenuItem *row, QWidget *parent)
        : RowRequestButton(Request::Details, row, parent) {}
};
