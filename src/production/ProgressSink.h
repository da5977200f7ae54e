#pragma once

#include "link/MessageSink.h"

#include <QString>

#include <algorithm>
#include <functional>

/// The message lines of a station's transfers: percentage lines become
/// progress, the last other line is kept as the reason of a failure.
class ProgressSink : public MessageSink {
 public:
  void AddMessage(const QString& text) override {
    if (text.endsWith(QLatin1Char('%'))) {
      bool ok = false;
      const int percent = text.chopped(1).toInt(&ok);
      if (ok && onPercent) onPercent(std::min(percent, 100));
      return;
    }
    last = text;
  }

  QString last;                        ///< the last line that was no percentage
  std::function<void(int)> onPercent;  ///< called with each percentage, 0 to 100
};
