#include "windows/TREditHostWindow.h"

#include "drawing/StatusColors.h"
#include "monitoring/Host.h"
#include "monitoring/TRHostController.h"
#include "windows/HostNameProposals.h"

#include <QApplication>
#include <QCheckBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <functional>

namespace {
// What the user typed; else what the field proposed; else a proposal made now.
QString typedOrProposed(const QLineEdit *field, const std::function<QString()> &propose) {
    if (!field->text().isEmpty())
        return field->text();
    if (!field->placeholderText().isEmpty())
        return field->placeholderText();
    return propose();
}
} // namespace

TREditHostWindow::TREditHostWindow(StatusItemButton *statusBarButton, QWidget *parent)
    : LMUtilityWindow(statusBarButton, QStringLiteral("New Host"), QSizeF(150, 260), parent)
    , menuBarItemCheckbox_(new QCheckBox(QStringLiteral("Menu Bar Item"), utilityView()))
    , saveButton_(new QPushButton(QStringLiteral("Save"), utilityView())) {
    connect(menuBarItemCheckbox_, &QCheckBox::clicked, this,
            &TREditHostWindow::updateShortNameTextFieldState);
    connect(saveButton_, &QPushButton::clicked, this, &TREditHostWindow::save);
    // Clicking Save leaves the field being edited as it is, so its text is saved as typed.
    saveButton_->setFocusPolicy(Qt::NoFocus);
    saveButton_->setAutoDefault(false);

    // A click on the box or a button leaves the field being edited as it is: taking the focus
    // would end its editing (a half-typed address normalised, a name renumbered).
    menuBarItemCheckbox_->setFocusPolicy(Qt::TabFocus);

    // The row under the address holds the reason it will never be checked, when there is one.
    addressTextField_ = makeField(QRectF(5, 195, 140, 22));
    nameTextField_ = makeField(QRectF(5, 120, 140, 22));
    shortNameTextField_ = makeField(QRectF(5, frameOf(nameTextField_).y() - 80, 140, 22));

    addLabel(QStringLiteral("Address"), QPointF(5, frameOf(addressTextField_).y() + 25));
    addLabel(QStringLiteral("Name"), QPointF(5, frameOf(nameTextField_).y() + 25));
    addLabel(QStringLiteral("Short Name"), QPointF(5, frameOf(shortNameTextField_).y() + 25));

    addressHint_ = new QLabel(utilityView());
    addressHint_->setTextFormat(Qt::PlainText);
    addressHint_->setWordWrap(true);
    addressHint_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFont hintFont = addressHint_->font();
    hintFont.setPixelSize(9);
    addressHint_->setFont(hintFont);
    QPalette hintPalette = addressHint_->palette();
    hintPalette.setColor(QPalette::WindowText, StatusColors::red());
    addressHint_->setPalette(hintPalette);
    setFrame(addressHint_, QRectF(5, frameOf(addressTextField_).y() - 23, 140, 22));
    connect(addressTextField_, &QLineEdit::textChanged, this, &TREditHostWindow::updateAddressHint);

    menuBarItemCheckbox_->adjustSize();
    setFrame(menuBarItemCheckbox_,
             QRectF(5, frameOf(shortNameTextField_).y() + 50, 140, menuBarItemCheckbox_->height()));
    saveButton_->adjustSize();
    setFrame(saveButton_, QRectF(0, 0, 150, saveButton_->height()));

    // Tab follows the form from the top, whatever order the controls were made in; the short
    // name is skipped while the box is off, since it is disabled then.
    setTabOrder(addressTextField_, nameTextField_);
    setTabOrder(nameTextField_, menuBarItemCheckbox_);
    setTabOrder(menuBarItemCheckbox_, shortNameTextField_);
    // Return on the box saves as it does in a field; a box would leave it unhandled.
    menuBarItemCheckbox_->installEventFilter(this);
}

TREditHostWindow::~TREditHostWindow() = default;

QLineEdit *TREditHostWindow::makeField(const QRectF &frame) {
    auto *field = new QLineEdit(utilityView());
    setFrame(field, frame);
    field->installEventFilter(this);
    connect(field, &QLineEdit::textEdited, this, [this, field] { controlTextDidChange(field); });
    connect(field, &QLineEdit::returnPressed, this, [this, field] { returnPressed(field); });
    return field;
}

void TREditHostWindow::returnPressed(QLineEdit *field) {
    if (field && !textShouldEndEditing(field))
        return;
    // Save stays off while the address is being typed: Return ends that too, if it can.
    if (!saveButton_->isEnabled() && !textShouldEndEditing(addressTextField_))
        return;
    save();
}

void TREditHostWindow::updateAddressHint() {
    const QString problem = HostNameProposals::addressProblem(addressTextField_->text());
    addressHint_->setText(problem);
    // The field itself shows it too, in the same colour as the hint.
    QPalette palette = QApplication::palette(addressTextField_);
    if (!problem.isEmpty())
        palette.setColor(QPalette::Text, StatusColors::red());
    addressTextField_->setPalette(palette);
}

void TREditHostWindow::addLabel(const QString &text, const QPointF &origin) {
    auto *label = new QLabel(utilityView());
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->adjustSize();
    setFrame(label, QRectF(origin, QSizeF(label->size())));
}

void TREditHostWindow::setHost(const std::shared_ptr<Host> &host) {
    host_ = host;
    reloadForm();
}

void TREditHostWindow::reloadForm() {
    saveButton_->setEnabled(bool(host_));
    setTitle(host_ ? host_->string() : QStringLiteral("New Host"));
    addressTextField_->setText(host_ ? host_->address() : QString());
    nameTextField_->setText(host_ ? host_->string() : QString());
    nameTextField_->setPlaceholderText(defaultName());
    menuBarItemCheckbox_->setChecked(host_ && host_->hasMenuBarItem());
    updateShortNameTextFieldState();
    shortNameTextField_->setText(host_ ? host_->abbreviation().value_or(QString()) : QString());
    shortNameTextField_->setPlaceholderText(defaultShortName());
}

QString TREditHostWindow::defaultName() const {
    return HostNameProposals::defaultName(addressTextField_->text(), host_.get(), hostController_);
}

QString TREditHostWindow::defaultShortName() const {
    return HostNameProposals::defaultShortName(
        nameTextField_->text(), nameTextField_->placeholderText(), host_.get(), hostController_);
}

void TREditHostWindow::updateShortNameTextFieldState() {
    shortNameTextField_->setEnabled(menuBarItemCheckbox_->isChecked());
}

void TREditHostWindow::makeKeyAndOrderFront() {
    addressTextField_->setFocus(Qt::OtherFocusReason);
    LMUtilityWindow::makeKeyAndOrderFront();
    addressTextField_->setFocus(Qt::OtherFocusReason);
}

void TREditHostWindow::controlTextDidChange(QLineEdit *field) {
    nameTextField_->setPlaceholderText(defaultName());
    shortNameTextField_->setPlaceholderText(defaultShortName());
    if (field == addressTextField_)
        saveButton_->setEnabled(false);
}

bool TREditHostWindow::textShouldEndEditing(QLineEdit *field) {
    if (field == addressTextField_) {
        if (addressTextField_->text().isEmpty())
            return false;
        addressTextField_->setText(HostNameProposals::normalizedAddress(addressTextField_->text()));
        saveButton_->setEnabled(true);
    } else if (field == nameTextField_) {
        nameTextField_->setText(
            HostNameProposals::uniqueName(nameTextField_->text(), host_.get(), hostController_));
    } else if (field == shortNameTextField_) {
        shortNameTextField_->setText(HostNameProposals::uniqueShortName(
            shortNameTextField_->text(), host_.get(), hostController_));
    }
    return true;
}

bool TREditHostWindow::eventFilter(QObject *watched, QEvent *event) {
    if (watched == menuBarItemCheckbox_ && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            returnPressed(nullptr);
            return true;
        }
    }
    auto *field = qobject_cast<QLineEdit *>(watched);
    if (field && event->type() == QEvent::FocusOut) {
        // Editing ends when the focus moves on inside the form, not when the window itself
        // loses the focus (another window, a menu) or closes.
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        const bool endsEditing =
            reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && isVisible();
        if (endsEditing && !textShouldEndEditing(field)) {
            // Refused: the focus goes back once the move that took it has finished.
            QTimer::singleShot(0, field, [field] { field->setFocus(Qt::OtherFocusReason); });
        }
    }
    return LMUtilityWindow::eventFilter(watched, event);
}

void TREditHostWindow::save() {
    if (!hostController_ && !host_)
        return;
    const HostEdit edit{addressTextField_->text(),
                        typedOrProposed(nameTextField_, [this] { return defaultName(); }),
                        typedOrProposed(shortNameTextField_, [this] { return defaultShortName(); }),
                        menuBarItemCheckbox_->isChecked()};
    const HostList noHosts;
    const HostList &hosts = hostController_ ? hostController_->hosts() : noHosts;
    if (host_ && std::find(hosts.begin(), hosts.end(), host_) != hosts.end()) {
        hostController_->updateHost(host_, edit);
    } else {
        // A new host, or one removed while the form was open: saving the form keeps what the
        // user just typed rather than writing it into a host no list holds any more.
        const std::shared_ptr<Host> target = host_ ? host_ : std::make_shared<Host>();
        edit.applyTo(*target);
        if (hostController_)
            hostController_->addHost(target);
    }
    close();
}
