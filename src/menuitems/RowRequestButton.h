#pragma once

#include "menuitems/ControlButton.h"

#include <QPointer>

class LMMenuItem;

// The edit, remove and details buttons: each passes its request on to the row it belongs to, which
// hands it to the row's delegate.
class RowRequestButton : public ControlButton {
    Q_OBJECT
public:
    enum class Request { Edit, Remove, Details };
    RowRequestButton(Request request, LMMenuItem *row, QWidget *parent);
    LMMenuItem *menuItem() const { return menuItem_; }

protected:
    void act() override;

private:
    Request request_;
    QPointer<LMMenuItem> menuItem_;
};
