#include "menuitems/RowRequestButton.h"

#include "menuitems/LMMenuItem.h"

RowRequestButton::RowRequestButton(Request request, LMMenuItem *row, QWidget *parent)
    : ControlButton(row->modelObject(), parent)
    , request_(request)
    , menuItem_(row) {
    const bool edit = request == Request::Edit;
    move(edit ? 25 : 45, 1);
    setImageName(edit ? QStringLiteral("LMEdit") : QStringLiteral("LMRemove"));
    setToolTip(edit ? QStringLiteral("Edit") : QStringLiteral("Remove"));
}

void RowRequestButton::act() {
    if (!menuItem_)
        return;
    if (request_ == Request::Edit)
        menuItem_->requestEdit();
    else
        menuItem_->requestRemove();
}
