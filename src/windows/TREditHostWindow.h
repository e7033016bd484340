#pragma once

#include "windows/LMUtilityWindow.h"

#include <memory>

class Host;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TRHostController;

// The add/edit form (150 x 260): address, name and short name, the "Menu Bar Item" box and Save.
// It proposes a unique name and short name while the user types, puts "http://" in front of an
// address without a scheme, will not let the address be left empty, and on Save writes the
// fields into the host (creating it first for a new host), switches its tray icon on or off,
// saves the list and closes. Under the address it says why an address will never be checked
// (it still saves it). Return saves once the address is done; Escape closes without saving.
// One form serves every request; it is filled again on each.
class TREditHostWindow : public LMUtilityWindow {
    Q_OBJECT
public:
    explicit TREditHostWindow(StatusItemButton *statusBarButton, QWidget *parent = nullptr);
    ~TREditHostWindow() override;

    TRHostController *hostController() const { return hostController_; }
    void setHostController(TRHostController *hostController) { hostController_ = hostController; }

    const std::shared_ptr<Host> &host() const { return host_; }
    // Fills the form from `host`, or empties it for a new host.
    void setHost(const std::shared_ptr<Host> &host);

    QCheckBox *menuBarItemCheckbox() const { return menuBarItemCheckbox_; }
    QPushButton *saveButton() const { return saveButton_; }
    QLineEdit *nameTextField() const { return nameTextField_; }
    QLineEdit *shortNameTextField() const { return shortNameTextField_; }
    QLineEdit *addressTextField() const { return addressTextField_; }
    // Empty while the address is one Tarvik checks.
    QLabel *addressHintLabel() const { return addressHint_; }

    // Puts the cursor in the address field, then shows the form under the main tray icon.
    void makeKeyAndOrderFront() override;

    // After every change the user makes to a field's text.
    void controlTextDidChange(QLineEdit *field);
    // When editing of a field is about to end; false keeps the focus in the field.
    bool textShouldEndEditing(QLineEdit *field);
    void updateShortNameTextFieldState();
    void save();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void reloadForm();
    QString defaultName() const;
    QString defaultShortName() const;
    QLineEdit *makeField(const QRectF &frame);
    void addLabel(const QString &text, const QPointF &origin);
    void updateAddressHint();
    // Return in `field` (none: on the box): its editing ends, then the address's, then the
    // form saves.
    void returnPressed(QLineEdit *field);

    TRHostController *hostController_ = nullptr;
    std::shared_ptr<Host> host_;
    QCheckBox *menuBarItemCheckbox_;
    QPushButton *saveButton_;
    QLineEdit *nameTextField_ = nullptr;
    QLineEdit *shortNameTextField_ = nullptr;
    QLineEdit *addressTextField_ = nullptr;
    QLabel *addressHint_ = nullptr;
};
