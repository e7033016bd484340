#include "menuitems/StateButton.h"

#include "monitoring/LMItemable.h"

StateButton::StateButton(std::shared_ptr<LMItemable> modelObject, QWidget *parent)
    : ControlButton(std::move(modelObject), parent) {
    move(5, 1);
    showState(this->modelObject()->isActive());
}

void StateButton::toggle(LMItemable &model) {
    model.setIsActive(!model.isActive());
}

void StateButton::act() {
    const std::shared_ptr<LMItemable> model = modelObject();
    toggle(*model);
    showState(model->isActive());
}

void StateButton::showState(bool active) {
    setImageName(active ? QStringLiteral("LMPause") : QStringLiteral("LMPlay"));
    setToolTip(active ? QStringLiteral("Pause") : QStringLiteral("Start"));
}
