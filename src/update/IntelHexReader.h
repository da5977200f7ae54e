#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

class FirmwareImage;

/// Reads an Intel HEX firmware file into a FirmwareImage.
///
/// Accepted: data (00), end of file (01), extended segment address (02, the
/// base becomes its value times 16), start segment address (03, ignored),
/// extended linear address (04, the base becomes its value times 65536) and
/// start linear address (05, the entry point; it sets no base). Every file
/// starts at base 0. Records carry up to 255 data bytes and must balance
/// their checksum, except records with a count of 0: they carry nothing for
/// the flash and are taken as they stand, checksum unread (one of type 01
/// still ends the file). Lines may end in LF or CR LF; blank lines, lines
/// that do not start with ':' and a DOS end-of-file mark (0x1A) are ignored.
///
/// Refused, with the line and the reason: a character that is not a
/// hexadecimal digit, a line shorter or longer than its count says, a bad
/// checksum, an unknown type, a 01/02/03/04/05 record of the wrong length,
/// data outside 0x08000000..0x08041FFF, data below the application at
/// 0x08010000 (the boot loader's pages; the reason names the first such
/// address), a record after the end-of-file record, a line longer than
/// kMaxLineLength, a file without data or without an end-of-file record.
/// Reading stops at the first refusal.
class IntelHexReader {
 public:
  /// Longest line accepted: a record of 255 data bytes is 521 characters.
  static constexpr int kMaxLineLength = 1024;

  explicit IntelHexReader(FirmwareImage& image);

  /// Starts a new file: clears the image, base 0, no end record seen.
  void BeginFile();
  /// Parses one line (without its line end) into the image. True when the
  /// line was accepted or ignored; false (see ErrorText()) when it is wrong.
  bool AnalyseHexLine(const char* line, int length);
  bool AnalyseHexLine(const QByteArray& line) {
    return AnalyseHexLine(line.constData(), static_cast<int>(line.size()));
  }
  /// Completes the file after its last line: false without any data record
  /// or without the end-of-file record.
  bool EndFile();

  /// Reads a whole file held in memory (BeginFile, every line, EndFile).
  bool ReadData(const QByteArray& text);
  /// Reads a whole file from disk in chunks; memory stays bounded however
  /// large the file is, and reading stops at the first wrong line.
  bool ReadFile(const QString& path);

  /// Value of the two hexadecimal digits at character positions `position`
  /// and `position` + 1 of the line (positions count from 1, either case);
  /// -1 when a character is not a hexadecimal digit or lies past the line.
  static int ReadOneByte(const char* line, int length, int position);

  /// The failing line (from 1; 0 for a failure of the whole file).
  int ErrorLine() const { return errorLine_; }
  /// Why it failed ("bad checksum", ...); empty after success.
  QString ErrorReason() const { return errorReason_; }
  /// "line 12: bad checksum", or the reason alone for the whole file.
  QString ErrorText() const;

  /// Entry point of a start linear address record (05), if the file has one.
  bool HasEntryPoint() const { return hasEntryPoint_; }
  uint32_t EntryPoint() const { return entryPoint_; }
  /// Number of lines seen so far in the current file.
  int LinesRead() const { return line_; }

 private:
  bool Fail(const QString& reason);
  bool ScanLines(const char* data, int64_t size, bool last, int64_t* consumed);

  FirmwareImage& image_;
  int64_t base_ = 0;
  bool segmentMode_ = false;
  bool endSeen_ = false;
  bool hasEntryPoint_ = false;
  uint32_t entryPoint_ = 0;
  int line_ = 0;
  int errorLine_ = 0;
  QString errorReason_;
};
