#include "menuitems/LMMenuItem.h"

#include "drawing/DigitAlignedFont.h"
#include "drawing/NamedImages.h"
#include "menuitems/DetailsButton.h"
#include "menuitems/EditButton.h"
#include "menuitems/LMMenuItemDelegate.h"
#include "menuitems/MenuText.h"
#include "menuitems/RemoveButton.h"
#include "menuitems/StateButton.h"
#include "monitoring/LMItemable.h"
#include "text/ElidedText.h"

#include <QFontDatabase>
#include <QMenu>
#include <QWidgetAction>

namespace {
// One font object for every row, so rows share it rather than each holding a copy.
const QFont &rowFont() {
    static const QFont font =
        DigitAlignedFont::font(QFontDatabase::systemFont(QFontDatabase::GeneralFont).pointSizeF());
    return font;
}
} // namespace

LMMenuItem::LMMenuItem(std::shared_ptr<LMItemable> modelObject, QObject *parent)
    : QAction(parent)
    , modelObject_(std::move(modelObject)) {
    setFont(rowFont());
    refresh();
}

LMMenuItem::~LMMenuItem() {
    setMenu(static_cast<QMenu *>(nullptr));
    delete submenu_;
}

void LMMenuItem::ensureSubmenu() {
    if (submenu_)
        return;
    submenu_ = new QMenu();
    // The exported form: plain commands, the same objects for as long as the submenu lives.
    stateAction_ = submenu_->addAction(QString(), this, &LMMenuItem::toggleModel);
    editAction_ = submenu_->addAction(NamedImages::icon(QStringLiteral("LMEdit")),
                                      QStringLiteral("Edit"), this, &LMMenuItem::requestEdit);
    removeAction_ = submenu_->addAction(NamedImages::icon(QStringLiteral("LMRemove")),
                                        QStringLiteral("Remove"), this, &LMMenuItem::requestRemove);
    detailsAction_ =
        submenu_->addAction(NamedImages::icon(QStringLiteral("LMDetails")),
                            QStringLiteral("Details"), this, &LMMenuItem::requestDetails);
    detailsAction_->setToolTip(QStringLiteral("Details"));
    editAction_->setToolTip(QStringLiteral("Edit"));
    removeAction_->setToolTip(QStringLiteral("Remove"));
    showStateOnAction();
    // The widget form is made when Tarvik's own pop-up is about to show the submenu.
    connect(submenu_, &QMenu::aboutToShow, this, [this] {
        if (!exported_)
            makeButtonView();
    });
    showFormInSubmenu();
    setMenu(submenu_.data());
}

void LMMenuItem::releaseSubmenu() {
    if (!submenu_ || exported_ || submenu_->isVisible())
        return;
    setMenu(static_cast<QMenu *>(nullptr));
    submenu_->deleteLater();
    submenu_ = nullptr;
}

void LMMenuItem::makeButtonView() {
    if (viewAction_)
        return;
    // A plain 88 x 20 view holding the four buttons, owned by its action.
    auto view = std::make_unique<QWidget>();
    view->setFixedSize(88, 20);
    stateButton_ = new StateButton(modelObject_, view.get());
    editButton_ = new EditButton(this, view.get());
    removeButton_ = new RemoveButton(this, view.get());
    detailsButton_ = new DetailsButton(this, view.get());
    viewAction_ = new QWidgetAction(submenu_);
    viewAction_->setDefaultWidget(view.release());
    submenu_->insertAction(stateAction_, viewAction_);
    showFormInSubmenu();
}

QMenu *LMMenuItem::buttonMenu() const {
    return submenu_;
}

StateButton *LMMenuItem::stateButton() const {
    return stateButton_;
}

EditButton *LMMenuItem::editButton() const {
    return editButton_;
}

RemoveButton *LMMenuItem::removeButton() const {
    return removeButton_;
}

DetailsButton *LMMenuItem::detailsButton() const {
    return detailsButton_;
}

QWidget *LMMenuItem::buttonView() const {
    return viewAction_ ? viewAction_->defaultWidget() : nullptr;
}

void LMMenuItem::setExportedForm(bool exported) {
    exported_ = exported;
    if (exported)
        ensureSubmenu();
    showFormInSubmenu();
    refresh();
}

void LMMenuItem::showFormInSubmenu() {
    if (!submenu_)
        return;
    if (viewAction_)
        viewAction_->setVisible(!exported_);
    for (QAction *action :
         {stateAction_.data(), editAction_.data(), removeAction_.data(), detailsAction_.data()})
        action->setVisible(exported_ || !viewAction_);
}

void LMMenuItem::refresh() {
    const QString title = modelObject_->string();
    const QString shown = elided(title, longestTitle);
    const QString text = MenuText::forMenu(shown);
    // Only what changed is set: each change of an exported item is sent to the desktop.
    if (QAction::text() != text)
        setText(text);
    // A shortened name is shown whole on hover.
    const bool cut = shown != title;
    if (cut || elided_)
        setToolTip(cut ? title : QString());
    elided_ = cut;
    showStateOnAction();
}

void LMMenuItem::showStateOnAction() {
    const bool active = modelObject_->isActive();
    if (stateButton_)
        stateButton_->showState(active);
    if (!stateAction_)
        return;
    const QString what = active ? QStringLiteral("Pause") : QStringLiteral("Start");
    if (stateAction_->text() == what)
        return;
    stateAction_->setText(what);
    stateAction_->setToolTip(what);
    stateAction_->setIcon(
        NamedImages::icon(active ? QStringLiteral("LMPause") : QStringLiteral("LMPlay")));
}

void LMMenuItem::toggleModel() {
    StateButton::toggle(*modelObject_);
    showStateOnAction();
}

void LMMenuItem::requestEdit() {
    if (delegate_)
        delegate_->editModelObject(modelObject_);
}

void LMMenuItem::requestRemove() {
    if (delegate_)
        delegate_->removeModelObject(modelObject_);
}

void LMMenuItem::requestDetails() {
    if (delegate_)
        delegate_->showDetailsOfModelObject(modelObject_);
}
