#pragma once

#include "menuitems/ControlButton.h"

// Starts or pauses the row's model, and shows what the next click will do.
class StateButton : public ControlButton {
    Q_OBJECT
public:
    StateButton(std::shared_ptr<LMItemable> modelObject, QWidget *parent);
    // The switch itself, shared with the exported menu's plain action.
    static void toggle(LMItemable &model);

    // Shows what the next click will do.
    void showState(bool active);

protected:
    void act() override;
};
