#pragma once

#include <memory>

class LMItemable;

// Receives the edit and remove requests of menu rows, with the row's model object; it checks the
// object's type itself.
class LMMenuItemDelegate {
public:
    virtual ~LMMenuItemDelegate() = default;
    virtual void editModelObject(const std::shared_ptr<LMItemable> &modelObject) = 0;
    virtual void removeModelObject(const std::shared_ptr<LMItemable> &modelObject) = 0;
    virtual void showDetailsOfModelObject(const std::shared_ptr<LMItemable> &) {}
};
