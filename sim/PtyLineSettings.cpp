// TCGETS2 lives in the kernel's termbits, which cannot share a translation
// unit with the C library's <termios.h>.
#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <sys/ioctl.h>

bool ReadPtyLineSettings(int fd, int* baudRate, bool* twoStopBits) {
  struct termios2 tio {};
  if (::ioctl(fd, TCGETS2, &tio) != 0) return false;
  *baudRate = static_cast<int>(tio.c_ospeed);
  *twoStopBits = (tio.c_cflag & CSTOPB) != 0;
  return true;
}
