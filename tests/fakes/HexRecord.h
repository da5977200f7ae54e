#pragma once

#include <QByteArray>

/// One Intel HEX record as text (":" and hex digits, no line end), with its
/// byte count and checksum worked out.
inline QByteArray HexRecord(int type, int address, const QByteArray& data) {
  QByteArray bytes;
  bytes.append(static_cast<char>(data.size()));
  bytes.append(static_cast<char>(address >> 8));
  bytes.append(static_cast<char>(address));
  bytes.append(static_cast<char>(type));
  bytes.append(data);
  int sum = 0;
  for (const char b : bytes) sum += static_cast<uint8_t>(b);
  bytes.append(static_cast<char>(-sum));
  return ':' + bytes.toHex().toUpper();
}
