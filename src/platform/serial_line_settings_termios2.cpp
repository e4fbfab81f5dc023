// Line settings through Linux termios2 (TCGETS2/TCSETS2): the rates termios names as their
// B-constants, any other rate the driver accepts with BOTHER. <asm/termbits.h> defines
// its own struct termios, so this translation unit must never include <termios.h>.

#include "platform/serial_line_settings_termios2.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

#include "platform/retry_on_interrupt.h"

namespace platform {

namespace {

bool getTermios2(int fd, termios2& tio) {
  return retryOnInterrupt([&] { return ::ioctl(fd, TCGETS2, &tio); }) == 0;
}

bool setTermios2(int fd, const termios2& tio) {
  return retryOnInterrupt([&] { return ::ioctl(fd, TCSETS2, &tio); }) == 0;
}

// cfmakeraw's flags, plus no software flow control and no modem-control hang-up.
void makeRaw(termios2& tio, bool parityCheck) {
  tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                        IXON | IXOFF | IXANY | IMAXBEL | IUCLC | IGNPAR | INPCK);
  if (parityCheck) tio.c_iflag |= INPCK;
  tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  // CLOCAL: a carrier drop must not hang the line up; our own events report it instead.
  // HUPCL off: DTR is held inactive anyway, close() must not pulse it.
  tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS | HUPCL);
  tio.c_cflag |= CREAD | CLOCAL;
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
}

void setDataBits(termios2& tio, int bits) {
  tcflag_t size;
  switch (bits) {
    case 5:
      size = CS5;
      break;
    case 6:
      size = CS6;
      break;
    case 7:
      size = CS7;
      break;
    case 8:
      size = CS8;
      break;
    default:
      return;  // refused: keep the driver's value
  }
  tio.c_cflag = (tio.c_cflag & ~static_cast<tcflag_t>(CSIZE)) | size;
}

void setParity(termios2& tio, SerialParity parity) {
  tcflag_t bits;
  switch (parity) {
    case SerialParity::None:
      bits = 0;
      break;
    case SerialParity::Odd:
      bits = PARENB | PARODD;
      break;
    case SerialParity::Even:
      bits = PARENB;
      break;
    // CMSPAR: "stick" parity, mark when PARODD is set, space when it is not.
    case SerialParity::Mark:
      bits = PARENB | CMSPAR | PARODD;
      break;
    case SerialParity::Space:
      bits = PARENB | CMSPAR;
      break;
    default:
      return;
  }
  tio.c_cflag = (tio.c_cflag & ~static_cast<tcflag_t>(PARENB | PARODD | CMSPAR)) | bits;
}

void setStopBits(termios2& tio, SerialStopBits stopBits) {
  switch (stopBits) {
    case SerialStopBits::One:
      tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB);
      break;
    // termios has no 1.5; the nearest is CSTOPB, which a 16550 turns into 1.5 with 5 data bits.
    case SerialStopBits::OneAndHalf:
    case SerialStopBits::Two:
      tio.c_cflag |= CSTOPB;
      break;
    default:
      break;
  }
}

// The code termios names for `rate`, or BOTHER for a rate without a name. A named rate is set
// as its code, so stty, other programs and drivers that do not take BOTHER read it back as it
// is; BOTHER with the speed in c_ospeed/c_ispeed carries every other rate.
tcflag_t baudCode(uint32_t rate) {
  struct Named {
    uint32_t rate;
    tcflag_t code;
  };
  static constexpr Named kNamed[] = {
      {50, B50},           {75, B75},           {110, B110},         {134, B134},
      {150, B150},         {200, B200},         {300, B300},         {600, B600},
      {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
      {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
      {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
      {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
      {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
      {3500000, B3500000}, {4000000, B4000000},
  };
  for (const Named& named : kNamed) {
    if (named.rate == rate) return named.code;
  }
  return BOTHER;
}

void setBaudRate(termios2& tio, uint32_t rate) {
  if (rate == 0) return;  // B0 would mean "hang up", not a speed
  // The same code for input and output; the kernel takes the speeds from BOTHER's fields only.
  const tcflag_t code = baudCode(rate);
  tio.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
  tio.c_cflag |= code | (code << IBSHIFT);
  tio.c_ospeed = rate;
  tio.c_ispeed = rate;
}

SerialLineSettings decode(const termios2& tio) {
  SerialLineSettings s;
  // The kernel keeps c_ospeed as the real speed whichever way it was set.
  s.baudRate = tio.c_ospeed;
  switch (tio.c_cflag & CSIZE) {
    case CS5:
      s.dataBits = 5;
      break;
    case CS6:
      s.dataBits = 6;
      break;
    case CS7:
      s.dataBits = 7;
      break;
    default:
      s.dataBits = 8;
      break;
  }
  if (!(tio.c_cflag & PARENB)) {
    s.parity = SerialParity::None;
  } else if (tio.c_cflag & CMSPAR) {
    s.parity = (tio.c_cflag & PARODD) ? SerialParity::Mark : SerialParity::Space;
  } else {
    s.parity = (tio.c_cflag & PARODD) ? SerialParity::Odd : SerialParity::Even;
  }
  s.stopBits = (tio.c_cflag & CSTOPB) ? SerialStopBits::Two : SerialStopBits::One;
  s.parityCheck = (tio.c_iflag & INPCK) != 0;
  return s;
}

}  // namespace

std::optional<SerialLineSettings> readLineSettings(int fd) {
  termios2 tio{};
  if (!getTermios2(fd, tio)) return std::nullopt;
  return decode(tio);
}

SerialLineSettings applyLineSettings(int fd, const SerialLineSettings& wanted,
                                     std::optional<SystemError>* error) {
  termios2 tio{};
  if (!getTermios2(fd, tio)) {
    if (error) *error = errorFromErrno();
    SerialLineSettings unknown;
    unknown.baudRate = 0;
    return unknown;
  }
  termios2 next = tio;
  makeRaw(next, wanted.parityCheck);
  setDataBits(next, wanted.dataBits);
  setParity(next, wanted.parity);
  setStopBits(next, wanted.stopBits);
  setBaudRate(next, wanted.baudRate);
  if (!setTermios2(fd, next)) {
    // Refused as a whole (some drivers reject one field with EINVAL): take the rest without
    // the speed, the field drivers refuse most, so raw mode and the framing still hold.
    next.c_cflag = (next.c_cflag & ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT))) |
                   (tio.c_cflag & (CBAUD | (CBAUD << IBSHIFT)));
    next.c_ispeed = tio.c_ispeed;
    next.c_ospeed = tio.c_ospeed;
    setTermios2(fd, next);
  }
  std::optional<SerialLineSettings> accepted = readLineSettings(fd);
  if (!accepted) {
    if (error) *error = errorFromErrno();
    return decode(tio);
  }
  return *accepted;
}

}  // namespace platform
