#include "menuitems/RowRequestButton.h"

#include "menuitems/LMMenuItem.h"

RowRequestButton::RowRequestButton(Request request, LMMenuItem *row, QWidget *parent)
    : ControlButton(row->modelObject(), parent)
    , request_(request)
    , menuItem_(row) {
    switch (request) {
    case Request::Edit:
        move(25, 1);
        setImageName(QStringLiteral("LMEdit"));
        setToolTip(QStringLiteral("Edit"));
        break;
    case Request::Remove:
        move(45, 1);
        setImageName(QStringLiteral("LMRemove"));
        setToolTip(QStringLiteral("Remove"));
        break;
    case Request::Details:
        move(65, 1);
        setImageName(QStringLiteral("LMDetails"));
        setToolTip(QStringLiteral("Details"));
        break;
    }
}

void RowRequestButton::act() {
    if (!menuItem_)
        return;
    switch (request_) {
    case Request::Edit:
        menuItem_->requestEdit();
        break;
    case Request::Remove:
        menuItem_->requestRemove();
        break;
    case Request::Details:
        menuItem_->requestDetails();
        break;
    }
}
