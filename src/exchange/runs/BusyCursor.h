#pragma once
// The application-wide busy cursor for the span of a run: shown when made, hidden again on every way
// out, errors included, or earlier by release().

#include "exchange/runs/UserInterface.h"

namespace pontrel {

class BusyCursor {
  public:
    explicit BusyCursor(UserInterface& ui) : ui_(ui) { ui_.setBusy(true); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
    ~BusyCursor() { release(); }
    void release() {
        if (busy_)
            ui_.setBusy(false);
        busy_ = false;
    }

  private:
    UserInterface& ui_;
    bool busy_ = true;
};

} // namespace pontrel
