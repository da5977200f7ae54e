#include "ConsolePrompts.h"

#include <cstdio>

namespace {

void PrintLine(std::FILE* stream, const QString& text) {
  const QByteArray line = text.toUtf8();
  std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

}  // namespace

void ConsolePrompts::Critical(const QString& text) {
  criticals_ << text;
  PrintLine(stderr, text);
}

void ConsolePrompts::Information(const QString& text) { PrintLine(stdout, text); }

bool ConsolePrompts::AskRetry(const QString& text) {
  const bool retry = retriesLeft_ > 0;
  if (retry) --retriesLeft_;
  PrintLine(stderr, text + (retry ? QStringLiteral(" -> Retry") : QStringLiteral(" -> Cancel")));
  return retry;
}

bool ConsolePrompts::AskOkCancel(const QString& text) {
  PrintLine(stderr, text + QStringLiteral(" -> Cancel"));
  return false;
}

QString ConsolePrompts::ChooseFile(FileMode, const QString&, const QString&, bool) { return {}; }
