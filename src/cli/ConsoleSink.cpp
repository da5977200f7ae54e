#include "ConsoleSink.h"

void ConsoleSink::AddMessage(const QString& text) {
  const QByteArray line = text.toUtf8();
  std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stream_);
  std::fputc('\n', stream_);
  std::fflush(stream_);
}
