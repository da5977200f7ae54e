#include "ConsoleStreams.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <signal.h>
#include <unistd.h>
#endif

void ConsoleStreams::IgnoreBrokenPipe() {
#ifndef _WIN32
  ::signal(SIGPIPE, SIG_IGN);
#endif
}

void ConsoleStreams::UseBinary(std::FILE* stream) {
#ifdef _WIN32
  ::_setmode(::_fileno(stream), _O_BINARY);
#else
  (void)stream;
#endif
}

bool ConsoleStreams::IsTerminal(std::FILE* stream) {
#ifdef _WIN32
  return ::_isatty(::_fileno(stream)) != 0;
#else
  return ::isatty(::fileno(stream)) != 0;
#endif
}

bool ConsoleStreams::Write(std::FILE* stream, const QByteArray& bytes) {
  if (std::ferror(stream)) return false;
  const size_t size = static_cast<size_t>(bytes.size());
  const bool written = std::fwrite(bytes.constData(), 1, size, stream) == size;
  return std::fflush(stream) == 0 && written;
}

bool ConsoleStreams::WriteLine(std::FILE* stream, const QString& line) {
  return Write(stream, (line + QLatin1Char('\n')).toUtf8());
}
