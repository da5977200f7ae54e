#include "ConsoleSink.h"

#include "ConsoleStreams.h"
#include "link/EnglishLines.h"

void ConsoleSink::AddMessage(const QString& text) {
  ConsoleStreams::WriteLine(stream_, english_ ? EnglishLines::Of(text) : text);
}
