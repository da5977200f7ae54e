#include "ConsolePrompts.h"

#include "ConsoleStreams.h"
#include "link/EnglishLines.h"

QString ConsolePrompts::Text(const QString& text) const {
  return english_ ? EnglishLines::Of(text) : text;
}

void ConsolePrompts::Critical(const QString& text) { problem_ = Text(text); }

void ConsolePrompts::Information(const QString& text) {
  ConsoleStreams::WriteLine(stdout, Text(text));
}

bool ConsolePrompts::AskRetry(const QString& text) {
  if (retriesLeft_ > 0) {
    --retriesLeft_;
    ConsoleStreams::WriteLine(stderr, Text(text) + QStringLiteral(" -> Retry"));
    return true;
  }
  problem_ = Text(text) + QStringLiteral(" -> Cancel");
  return false;
}

bool ConsolePrompts::AskOkCancel(const QString& text) {
  problem_ = Text(text) + QStringLiteral(" -> Cancel");
  return false;
}

QString ConsolePrompts::ChooseFile(FileMode, const QString&, const QString&, bool) { return {}; }
