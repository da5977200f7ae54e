#pragma once

#include <QByteArray>
#include <QString>

/// The simulator's end of a pseudo-terminal pair. The tool opens the slave
/// device (SlavePath()); the simulator reads and writes the master. The
/// simulator keeps a slave descriptor of its own open so that the tool
/// closing and reopening the port does not hang up the line.
class PtyPort {
 public:
  /// What the line settings show through a pseudo-terminal: baud rate and
  /// stop bits. The Linux pty driver forces 8 data bits and no parity, so
  /// those two cannot be seen.
  struct LineSettings {
    int baudRate = 0;
    bool twoStopBits = false;
  };

  PtyPort() = default;
  ~PtyPort();
  PtyPort(const PtyPort&) = delete;
  PtyPort& operator=(const PtyPort&) = delete;

  /// Opens the pair (raw mode, non-blocking master); false with a reason.
  bool Open(QString* error);
  /// The device the tool opens ("/dev/pts/3").
  QString SlavePath() const { return slavePath_; }
  /// The master descriptor to poll; -1 once hung up.
  int MasterFd() const { return master_; }

  /// The current line settings as the tool set them last.
  LineSettings CurrentSettings() const;
  /// Reads whatever the tool wrote; empty when nothing is there.
  QByteArray ReadAvailable();
  /// Writes all bytes to the tool; false once the line is gone.
  bool WriteAll(const QByteArray& bytes);
  /// The device vanishes: both descriptors are closed, the tool's next read
  /// or write fails.
  void HangUp();

 private:
  int master_ = -1;
  int slave_ = -1;
  QString slavePath_;
};

/// Reads the baud rate and CSTOPB of a tty through TCGETS2 (so that rates
/// without a B-constant, 28800 or 128000, show too). False on failure.
bool ReadPtyLineSettings(int fd, int* baudRate, bool* twoStopBits);
