#pragma once

#include <QString>

// What a menu row needs from the object it shows: its title, and an activity switch whose
// setter may have side effects in the model.
class LMItemable {
public:
    virtual ~LMItemable() = default;
    virtual bool isActive() const = 0;
    virtual void setIsActive(bool active) = 0;
    virtual QString string() const = 0;
};
