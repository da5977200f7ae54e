#pragma once
// What the fuzz targets share: the check that stops a run, and a user who
// answers the questions from the input.

#include "link/Prompts.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>

/// Stops the run with the place of the broken promise.
inline void Check(bool condition, const char* file = __builtin_FILE(),
                  int line = __builtin_LINE()) {
  if (condition) return;
  std::fprintf(stderr, "check failed at %s:%d\n", file, line);
  std::abort();
}

/// Answers the user's questions from the input; Cancel once it runs dry or
/// after a few Retries, so every run ends.
class FuzzPrompts : public Prompts {
 public:
  FuzzPrompts() = default;
  explicit FuzzPrompts(FuzzedDataProvider& in) : in_(&in) {}
  /// Answers from `in` from now on, with no Retry given yet (a prompt kept
  /// from one input to the next).
  void Reset(FuzzedDataProvider& in) {
    in_ = &in;
    retries_ = 0;
  }
  void Critical(const QString&) override {}
  void Information(const QString&) override {}
  bool AskRetry(const QString&) override {
    return retries_ < 3 && in_ != nullptr && in_->remaining_bytes() > 0 && in_->ConsumeBool() &&
           ++retries_ > 0;
  }
  bool AskOkCancel(const QString&) override { return false; }
  QString ChooseFile(FileMode, const QString&, const QString&, bool) override { return {}; }

 private:
  FuzzedDataProvider* in_ = nullptr;
  int retries_ = 0;
};
