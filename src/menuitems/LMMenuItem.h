#pragma once

#include <QAction>
#include <QFont>
#include <QPointer>

#include <memory>

class LMItemable;
class LMMenuItemDelegate;
class QMenu;
class QWidgetAction;
class StateButton;
class EditButton;
class RemoveButton;
class DetailsButton;

// One model object as a menu row: its title in a digit-aligned font, and a submenu with start/
// pause, edit, remove and details. The row has two forms of that submenu. Where Tarvik pops up
// its own menu it is one 88 x 20 view with four image buttons. Where the desktop shows an
// exported copy of the menu, widgets are lost, so the same four commands are plain actions with
// the same images, tooltips and effects.
//
// A row is cheap while its menu is closed: the submenu is made only when the row is about to be
// seen (`ensureSubmenu`) and the button view only when the submenu itself opens, since a list of
// thousands of hosts would otherwise hold thousands of idle widgets. The row and the commands of
// its submenu stay the same objects while the row lives, so a desktop holding an exported copy
// keeps reaching them; `refresh` updates what they show in place.
class LMMenuItem : public QAction {
    Q_OBJECT
public:
    // Names longer than this are shortened in the row; the tooltip keeps the whole name.
    static constexpr int longestTitle = 40;

    LMMenuItem(std::shared_ptr<LMItemable> modelObject, QObject *parent = nullptr);
    ~LMMenuItem() override;

    const std::shared_ptr<LMItemable> &modelObject() const { return modelObject_; }
    LMMenuItemDelegate *delegate() const { return delegate_; }
    // Not owned; it outlives the rows.
    void setDelegate(LMMenuItemDelegate *delegate) { delegate_ = delegate; }
    QFont titleFont() const { return font(); }

    void setExportedForm(bool exported);
    bool exportedForm() const { return exported_; }

    // Makes the submenu with its plain commands, if it is not there yet.
    void ensureSubmenu();
    // Lets the submenu and its widgets go (later, as a click may still be running in them). Rows
    // of an exported menu keep theirs: the desktop may read them at any time.
    void releaseSubmenu();
    // Shows the model's current title and state, on the row and in its submenu.
    void refresh();

    // The row's submenu and what it holds, for the menu code and tests; empty until made.
    QMenu *buttonMenu() const;
    QWidget *buttonView() const;
    StateButton *stateButton() const;
    EditButton *editButton() const;
    RemoveButton *removeButton() const;
    DetailsButton *detailsButton() const;
    QAction *stateAction() const { return stateAction_; }
    QAction *editAction() const { return editAction_; }
    QAction *removeAction() const { return removeAction_; }
    QAction *detailsAction() const { return detailsAction_; }

    // Passes a request from the edit, remove or details button on to the delegate, if any.
    void requestEdit();
    void requestRemove();
    void requestDetails();
    // The start/pause command, from either form.
    void toggleModel();

private:
    void makeButtonView();
    void showFormInSubmenu();
    void showStateOnAction();

    LMMenuItemDelegate *delegate_ = nullptr;
    std::shared_ptr<LMItemable> modelObject_;
    // Owned by the row; deleted later rather than at once, since a click in it may be running.
    QPointer<QMenu> submenu_;
    QPointer<QWidgetAction> viewAction_;
    QPointer<StateButton> stateButton_;
    QPointer<EditButton> editButton_;
    QPointer<RemoveButton> removeButton_;
    QPointer<DetailsButton> detailsButton_;
    QPointer<QAction> stateAction_;
    QPointer<QAction> editAction_;
    QPointer<QAction> removeAction_;
    QPointer<QAction> detailsAction_;
    bool exported_ = false;
    bool elided_ = false;
};
