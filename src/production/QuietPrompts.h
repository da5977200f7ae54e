#pragma once

#include "link/Prompts.h"

#include <QString>

/// The questions of a station's transfers: nobody stands at them, so every
/// question is answered Cancel and the last text said is kept as the reason.
class QuietPrompts : public Prompts {
 public:
  void Critical(const QString& text) override { said = text; }
  void Information(const QString&) override {}
  bool AskRetry(const QString& text) override {
    said = text;
    return false;
  }
  bool AskOkCancel(const QString&) override { return false; }
  QString ChooseFile(FileMode, const QString&, const QString&, bool) override { return {}; }

  QString said;  ///< the last text shown
};
