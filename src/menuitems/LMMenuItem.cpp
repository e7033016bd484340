#include "menuitems/LMMenuItem.h"

#include "drawing/DigitAlignedFont.h"
#include "drawing/NamedImages.h"
#include "menuitems/EditButton.h"
#include "menuitems/LMItemable.h"
#include "menuitems/LMMenuItemDelegate.h"
#include "menuitems/MenuText.h"
#include "menuitems/RemoveButton.h"
#include "menuitems/StateButton.h"

#include <QFontDatabase>
#include <QMenu>
#include <QWidgetAction>

LMMenuItem::LMMenuItem(std::shared_ptr<LMItemable> modelObject, QObject *parent)
    : QAction(parent)
    , modelObject_(std::move(modelObject))
    , submenu_(std::make_unique<QMenu>()) {
    setFont(
        DigitAlignedFont::font(QFontDatabase::systemFont(QFontDatabase::GeneralFont).pointSizeF()));

    // The widget form: a plain 68 x 20 view holding the three buttons, owned by its action.
    auto view = std::make_unique<QWidget>();
    view->setFixedSize(68, 20);
    stateButton_ = new StateButton(modelObject_, view.get());
    editButton_ = new EditButton(this, view.get());
    removeButton_ = new RemoveButton(this, view.get());
    viewAction_ = new QWidgetAction(submenu_.get());
    viewAction_->setDefaultWidget(view.release());
    submenu_->addAction(viewAction_);

    // The exported form.
    stateAction_ = submenu_->addAction(QString());
    connect(stateAction_, &QAction::triggered, this, [this] {
        StateButton::toggle(*modelObject_);
        showStateOnAction();
    });
    editAction_ = submenu_->addAction(NamedImages::icon(QStringLiteral("LMEdit")),
                                      QStringLiteral("Edit"), this, &LMMenuItem::requestEdit);
    removeAction_ = submenu_->addAction(NamedImages::icon(QStringLiteral("LMRemove")),
                                        QStringLiteral("Remove"), this, &LMMenuItem::requestRemove);
    editAction_->setToolTip(QStringLiteral("Edit"));
    removeAction_->setToolTip(QStringLiteral("Remove"));
    showStateOnAction();

    setMenu(submenu_.get());
    setExportedForm(false);
}

LMMenuItem::~LMMenuItem() {
    setMenu(static_cast<QMenu *>(nullptr));
}

QWidget *LMMenuItem::buttonView() const {
    return viewAction_->defaultWidget();
}

void LMMenuItem::setExportedForm(bool exported) {
    exported_ = exported;
    viewAction_->setVisible(!exported);
    for (QAction *action : {stateAction_, editAction_, removeAction_})
        action->setVisible(exported);
    const QString title = modelObject_->string();
    setText(exported ? MenuText::forExportedMenu(title) : MenuText::forMenu(title));
    if (exported)
        showStateOnAction();
}

void LMMenuItem::showStateOnAction() {
    const bool active = modelObject_->isActive();
    const QString what = active ? QStringLiteral("Pause") : QStringLiteral("Start");
    stateAction_->setText(what);
    stateAction_->setToolTip(what);
    stateAction_->setIcon(
        NamedImages::icon(active ? QStringLiteral("LMPause") : QStringLiteral("LMPlay")));
}

void LMMenuItem::requestEdit() {
    if (delegate_)
        delegate_->editModelObject(modelObject_);
}

void LMMenuItem::requestRemove() {
    if (delegate_)
        delegate_->removeModelObject(modelObject_);
}
