#include "StatusBoard.h"

StatusBoard::StatusBoard(int lines, bool interactive, std::FILE* stream)
    : interactive_(interactive), stream_(stream) {
  for (int i = 0; i < lines; ++i) {
    lines_ << QString();
    keys_ << QString();
  }
}

void StatusBoard::Put(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream_);
}

void StatusBoard::Draw() {
  // Back to the board's first line, then every line cleared and written.
  if (drawn_) Put(QStringLiteral("\x1b[%1A").arg(lines_.size()));
  for (const QString& line : lines_) Put(QStringLiteral("\r\x1b[2K") + line + QLatin1Char('\n'));
  drawn_ = true;
  std::fflush(stream_);
}

void StatusBoard::Set(int index, const QString& text, const QString& plain) {
  if (index < 0 || index >= lines_.size()) return;
  if (interactive_) {
    if (lines_[index] == text) return;
    lines_[index] = text;
    Draw();
    return;
  }
  if (keys_[index] == plain) return;
  keys_[index] = plain;
  Put(plain + QLatin1Char('\n'));
  std::fflush(stream_);
}

void StatusBoard::Note(const QString& text) {
  if (interactive_ && drawn_) {
    Put(QStringLiteral("\x1b[%1A").arg(lines_.size()));
    Put(QStringLiteral("\r\x1b[2K") + text + QLatin1Char('\n'));
    drawn_ = false;
    for (int i = 0; i < lines_.size(); ++i) Put(QStringLiteral("\r\x1b[2K\n"));
    Put(QStringLiteral("\x1b[%1A").arg(lines_.size()));
    Draw();
    return;
  }
  Put(text + QLatin1Char('\n'));
  std::fflush(stream_);
}
