#pragma once

#include "app/AppDelegate.h"

#include <memory>
#include <vector>

class HistoryStore;
class TRHostController;

// An application delegate that hands out a given engine and records form requests.
class FakeDelegate : public AppDelegate {
public:
    explicit FakeDelegate(TRHostController *engine)
        : engine_(engine) {
        setCurrent(this);
    }
    ~FakeDelegate() override { setCurrent(nullptr); }
    TRHostController *hostController() const override { return engine_; }
    HistoryStore *historyStore() const override { return store; }
    void showEditHostWindow(const std::shared_ptr<Host> &host) override {
        formRequests.push_back(host);
    }
    void showDetailsWindow(const std::shared_ptr<Host> &host) override {
        detailsRequests.push_back(host);
    }
    std::vector<std::shared_ptr<Host>> formRequests;
    std::vector<std::shared_ptr<Host>> detailsRequests;
    HistoryStore *store = nullptr;

private:
    TRHostController *engine_;
};
