#pragma once

#include "checks/CheckOptions.h"
#include "checks/SlowState.h"
#include "monitoring/HostOutcome.h"
#include "monitoring/LMItemable.h"

#include <QDateTime>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class TRHostController;

// One watched host. Hosts are shared objects: the engine's list, menu rows, the hosts table, the
// edit form, per-host tray icons and requests in flight all hold the same object, so a change
// made through one is seen by all.
class Host : public LMItemable, public std::enable_shared_from_this<Host> {
public:
    // A host made from an address: named after it, active, without a tray icon.
    explicit Host(const QString &address = QString());

    std::optional<bool> isReachable() const { return isReachable_; }
    void setIsReachable(std::optional<bool> value) { isReachable_ = value; }

    std::optional<QString> abbreviation() const { return abbreviation_; }
    void setAbbreviation(std::optional<QString> value) { abbreviation_ = std::move(value); }

    QString address() const { return address_; }
    void setAddress(const QString &value) { address_ = value; }

    QString string() const override { return string_; }
    void setString(const QString &value) { string_ = value; }

    bool isFavorite() const { return isFavorite_; }
    void setIsFavorite(bool value) { isFavorite_ = value; }

    bool hasMenuBarItem() const { return hasMenuBarItem_; }
    void setHasMenuBarItem(bool value) { hasMenuBarItem_ = value; }

    std::optional<double> lastRequestDuration() const { return lastRequestDuration_; }
    void setLastRequestDuration(std::optional<double> value) { lastRequestDuration_ = value; }

    // When the host's certificate runs out, as of its last check that got that far; not stored.
    std::optional<QDateTime> certificateExpiry() const { return certificateExpiry_; }
    void setCertificateExpiry(std::optional<QDateTime> value) {
        certificateExpiry_ = std::move(value);
    }
    // Up or why not, and since when; kept beside the stored list, not in it.
    const HostOutcome &lastOutcome() const { return lastOutcome_; }
    void setLastOutcome(const HostOutcome &value) { lastOutcome_ = value; }

    // How the host is checked; all defaults for a host checked as every host always was. The
    // user changes them through the engine (TRHostController::setCheckOptions), which saves and
    // checks at once; this sets the field alone, for decoding.
    const CheckOptions &checkOptions() const { return checkOptions_; }
    void setCheckOptions(const CheckOptions &options) { checkOptions_ = options; }

    // Up, but answering slower than its slowAboveMs for a while (SlowState says how long);
    // never while down or unchecked. Not stored: a restart starts counting again.
    bool isSlow() const { return slow_.isSlow(); }
    // "slow (1.2 s > 1 s)", from the latest slow answer, while the host is slow or its last
    // answer was; empty otherwise.
    QString slowReason() const {
        return slow_.isSlow() || lastAnswerSlow_ ? slowReason_ : QString();
    }
    // Whether the last answer alone was up but slower than slowAboveMs.
    bool lastAnswerSlow() const { return lastAnswerSlow_; }
    // Takes one judged answer (`slowReason` is its reason when it was slow); returns whether
    // isSlow() changed.
    bool recordSlowness(bool up, bool slow, const QString &slowReason);
    // Forgets the answers counted so far (options changed, host paused); returns whether
    // isSlow() changed.
    bool resetSlowness();

    QStringList categories() const { return categories_; }
    void setCategories(const QStringList &value) { categories_ = value; }

    bool isActive() const override { return isActive_; }
    // The user's switch: always saves the list, refreshes the host's displays and, when the host
    // becomes active, starts a round - even when the value does not change. Without an engine
    // holding the host it sets the field alone.
    void setIsActive(bool active) override;
    // Sets the field alone, for decoding.
    void restoreIsActive(bool active) { isActive_ = active; }

    // The engine whose list holds this host, which the user's switch reaches; set by the engine
    // as it takes the host, and empty once it lets it go or is gone.
    TRHostController *engine() const;
    void setEngine(TRHostController *engine);

private:
    std::optional<bool> isReachable_;
    std::optional<QString> abbreviation_;
    QString address_;
    QString string_;
    bool isFavorite_ = false;
    bool hasMenuBarItem_ = false;
    std::optional<double> lastRequestDuration_;
    std::optional<QDateTime> certificateExpiry_;
    HostOutcome lastOutcome_;
    CheckOptions checkOptions_;
    SlowState slow_;
    QString slowReason_;
    bool lastAnswerSlow_ = false;
    QStringList categories_;
    bool isActive_ = true;
    QPointer<TRHostController> engine_;
};
