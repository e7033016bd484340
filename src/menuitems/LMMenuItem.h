#pragma once

#include <QAction>
#include <QFont>

#include <memory>

class LMItemable;
class LMMenuItemDelegate;
class QMenu;
class QWidgetAction;
class StateButton;
class EditButton;
class RemoveButton;

// One model object as a menu row: its title in a digit-aligned font, and a submenu with start/
// pause, edit and remove. The row has two forms of that submenu. Where Tarvik pops up its own
// menu it is one 68 x 20 view with three image buttons. Where the desktop shows an exported
// copy of the menu, widgets are lost, so the same three commands are plain actions with the same
// images, tooltips and effects.
class LMMenuItem : public QAction {
    Q_OBJECT
public:
    LMMenuItem(std::shared_ptr<LMItemable> modelObject, QObject *parent = nullptr);
    ~LMMenuItem() override;

    const std::shared_ptr<LMItemable> &modelObject() const { return modelObject_; }
    LMMenuItemDelegate *delegate() const { return delegate_; }
    // Not owned; it outlives the rows.
    void setDelegate(LMMenuItemDelegate *delegate) { delegate_ = delegate; }
    QFont titleFont() const { return font(); }

    void setExportedForm(bool exported);
    bool exportedForm() const { return exported_; }

    // The row's submenu and what it holds, for the menu code and tests.
    QMenu *buttonMenu() const { return submenu_.get(); }
    QWidget *buttonView() const;
    StateButton *stateButton() const { return stateButton_; }
    EditButton *editButton() const { return editButton_; }
    RemoveButton *removeButton() const { return removeButton_; }
    QAction *stateAction() const { return stateAction_; }
    QAction *editAction() const { return editAction_; }
    QAction *removeAction() const { return removeAction_; }

    // Passes a request from the edit or remove button on to the delegate, if any.
    void requestEdit();
    void requestRemove();

private:
    void showStateOnAction();

    LMMenuItemDelegate *delegate_ = nullptr;
    std::shared_ptr<LMItemable> modelObject_;
    std::unique_ptr<QMenu> submenu_;
    QWidgetAction *viewAction_ = nullptr;
    StateButton *stateButton_ = nullptr;
    EditButton *editButton_ = nullptr;
    RemoveButton *removeButton_ = nullptr;
    QAction *stateAction_ = nullptr;
    QAction *editAction_ = nullptr;
    QAction *removeAction_ = nullptr;
    bool exported_ = false;
};
