// Whether a report prints on a worker thread: Enabled allows it, Active
// asks for it (and stays off unless Enabled).
#pragma once
#include "platform/classes/classes.h"

class TppBackgroundPrintSettings : public cls::TPersistent {
  CLS_DECLARE_CLASS(TppBackgroundPrintSettings, cls::TPersistent)
 public:
  // From other settings: both values; other classes go to the inherited assign.
  void Assign(cls::TPersistent* source) override;

  // Published.
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v) { enabled_ = v; }
  bool Active() const { return active_; }
  // Stored only while Enabled; otherwise Active becomes False.
  void SetActive(bool v) { active_ = enabled_ && v; }

  static void RegisterProperties();

 private:
  bool enabled_ = false;
  bool active_ = false;
};
