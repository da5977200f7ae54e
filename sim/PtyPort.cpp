#include "PtyPort.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

PtyPort::~PtyPort() { HangUp(); }

bool PtyPort::Open(QString* error) {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
    *error = QStringLiteral("cannot create a pseudo-terminal: %1")
                 .arg(QString::fromLocal8Bit(std::strerror(errno)));
    HangUp();
    return false;
  }
  const char* name = ::ptsname(master_);
  if (!name) {
    *error = QStringLiteral("ptsname failed");
    HangUp();
    return false;
  }
  slavePath_ = QString::fromLocal8Bit(name);
  slave_ = ::open(name, O_RDWR | O_NOCTTY);
  if (slave_ < 0) {
    *error = QStringLiteral("cannot open %1: %2")
                 .arg(slavePath_, QString::fromLocal8Bit(std::strerror(errno)));
    HangUp();
    return false;
  }
  termios tio{};
  if (::tcgetattr(slave_, &tio) == 0) {
    ::cfmakeraw(&tio);
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    ::tcsetattr(slave_, TCSANOW, &tio);
  }
  const int flags = ::fcntl(master_, F_GETFL);
  ::fcntl(master_, F_SETFL, flags | O_NONBLOCK);
  ::fcntl(master_, F_SETFD, FD_CLOEXEC);
  ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
  return true;
}

PtyPort::LineSettings PtyPort::CurrentSettings() const {
  LineSettings settings;
  if (master_ >= 0) ReadPtyLineSettings(master_, &settings.baudRate, &settings.twoStopBits);
  return settings;
}

QByteArray PtyPort::ReadAvailable() {
  QByteArray all;
  if (master_ < 0) return all;
  char chunk[4096];
  for (;;) {
    const ssize_t n = ::read(master_, chunk, sizeof chunk);
    if (n > 0) {
      all.append(chunk, static_cast<int>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    break;  // EAGAIN: drained; EIO: nobody has the slave open
  }
  return all;
}

bool PtyPort::WriteAll(const QByteArray& bytes) {
  const char* data = bytes.constData();
  qsizetype left = bytes.size();
  int waits = 0;
  while (left > 0 && master_ >= 0) {
    const ssize_t n = ::write(master_, data, static_cast<size_t>(left));
    if (n > 0) {
      data += n;
      left -= n;
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && errno == EAGAIN && ++waits < 2000) {
      usleep(1000);  // the tool is not reading fast enough; after two seconds: lost
    } else {
      return false;
    }
  }
  return left == 0;
}

void PtyPort::HangUp() {
  if (master_ >= 0) ::close(master_);
  if (slave_ >= 0) ::close(slave_);
  master_ = -1;
  slave_ = -1;
}
