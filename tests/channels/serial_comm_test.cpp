// TComm: device names, construction defaults, OpenPort's errors, ClosePort, line settings.

#include "channels/serial_comm.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <memory>

#include "serial_test_support.h"
#include "support/descriptors_taken.h"
#include "support/temp_dir.h"

using channels::ECommsError;
using channels::TComm;
using serial_test::FarEnd;
using serial_test::Recorder;
using serial_test::WaitUntil;

namespace {

std::string OpenError(TComm& comm) {
  try {
    comm.OpenPort();
  } catch (const ECommsError& e) {
    return e.what();
  }
  return "(no error)";
}

class SerialComm : public ::testing::Test {
 protected:
  void open(quint32 gap = 30) {
    comm.setCommName(far.path());
    comm.setReadIntervalTimeout(gap);
    comm.OpenPort();
  }
  // The port works: bytes go both ways.
  void expectWorking(Recorder& rec) {
    const std::size_t before = rec.chunks.size();
    ASSERT_TRUE(far.write("ping"));
    ASSERT_TRUE(WaitUntil([&] { return rec.chunks.size() > before; }));
    EXPECT_EQ(rec.chunks.back(), QByteArray("ping"));
    ASSERT_TRUE(comm.SendData("pong", 4));
    EXPECT_EQ(far.read(4), QByteArray("pong"));
  }

  FarEnd far;
  TComm comm;  // destroyed before the far end
};

}  // namespace

TEST(SerialDeviceName, ComNamesMapToTtyS) {
  EXPECT_EQ(channels::DevicePathForCommName("COM3"), "/dev/ttyS2");
  EXPECT_EQ(channels::DevicePathForCommName("COM1"), "/dev/ttyS0");
  EXPECT_EQ(channels::DevicePathForCommName("com12"), "/dev/ttyS11");
  EXPECT_EQ(channels::DevicePathForCommName("\\\\.\\COM10"), "/dev/ttyS9");
}

TEST(SerialDeviceName, OtherBareNamesLiveInDev) {
  EXPECT_EQ(channels::DevicePathForCommName("ttyUSB0"), "/dev/ttyUSB0");
  EXPECT_EQ(channels::DevicePathForCommName("ttyACM1"), "/dev/ttyACM1");
  EXPECT_EQ(channels::DevicePathForCommName("COM0"), "/dev/COM0");
  EXPECT_EQ(channels::DevicePathForCommName("COM"), "/dev/COM");
  EXPECT_EQ(channels::DevicePathForCommName("COM2x"), "/dev/COM2x");
}

TEST(SerialDeviceName, PathsAreTakenAsTheyAre) {
  EXPECT_EQ(channels::DevicePathForCommName("/dev/pts/7"), "/dev/pts/7");
  EXPECT_EQ(channels::DevicePathForCommName("./COM3"), "./COM3");
  EXPECT_EQ(channels::DevicePathForCommName("/tmp/my port"), "/tmp/my port");
}

TEST(SerialCommDefaults, ConstructionSetsTheTableDefaults) {
  TComm comm;
  EXPECT_EQ(comm.CommName(), "COM2");
  EXPECT_EQ(comm.BaudRate(), 9600u);
  EXPECT_FALSE(comm.ParityCheck());
  EXPECT_FALSE(comm.Outx_CtsFlow());
  EXPECT_FALSE(comm.Outx_DsrFlow());
  EXPECT_EQ(comm.DtrControl(), channels::TDtrControl::DtrEnable);
  EXPECT_FALSE(comm.DsrSensitivity());
  EXPECT_TRUE(comm.TxContinueOnXoff());
  EXPECT_TRUE(comm.Outx_XonXoffFlow());
  EXPECT_TRUE(comm.Inx_XonXoffFlow());
  EXPECT_FALSE(comm.ReplaceWhenParityError());
  EXPECT_FALSE(comm.IgnoreNullChar());
  EXPECT_EQ(comm.RtsControl(), channels::TRtsControl::RtsEnable);
  EXPECT_EQ(comm.XonLimit(), 500);
  EXPECT_EQ(comm.XoffLimit(), 500);
  EXPECT_EQ(comm.ByteSize(), channels::TByteSize::_8);
  EXPECT_EQ(comm.Parity(), channels::TParity::None);
  EXPECT_EQ(comm.StopBits(), channels::TStopBits::_1);
  EXPECT_EQ(comm.XonChar(), 17);
  EXPECT_EQ(comm.XoffChar(), 19);
  EXPECT_EQ(comm.ReplacedChar(), 0);
  EXPECT_EQ(comm.ReadIntervalTimeout(), 100u);
  EXPECT_EQ(comm.ReadTotalTimeoutMultiplier(), 0u);
  EXPECT_EQ(comm.ReadTotalTimeoutConstant(), 0u);
  EXPECT_EQ(comm.WriteTotalTimeoutMultiplier(), 0u);
  EXPECT_EQ(comm.WriteTotalTimeoutConstant(), 0u);
  EXPECT_FALSE(comm.IsOpen());
}

TEST(SerialCommDefaults, EnumeratorsCountFromZeroSoStoredOrdinalsMapStraightOnThem) {
  EXPECT_EQ(static_cast<int>(channels::TByteSize::_8), 3);
  EXPECT_EQ(static_cast<int>(channels::TParity::Space), 4);
  EXPECT_EQ(static_cast<int>(channels::TStopBits::_2), 2);
  EXPECT_EQ(static_cast<int>(channels::TDtrControl::DtrHandshake), 2);
  EXPECT_EQ(static_cast<int>(channels::TRtsControl::RtsTransmissionAvailable), 3);
}

TEST(SerialCommOpen, AMissingDeviceGivesErrorOpeningSerialPort) {
  TComm comm;
  comm.setCommName("/dev/no-such-serial-port-here");
  EXPECT_EQ(OpenError(comm), "Error opening serial port");
  EXPECT_FALSE(comm.IsOpen());
  comm.setCommName("COM999");  // /dev/ttyS998
  EXPECT_EQ(OpenError(comm), "Error opening serial port");
}

TEST(SerialCommOpen, ARegularFileIsNotACommHandle) {
  testing_support::TempDir dir;
  const QString file = dir.file("not-a-port");
  testing_support::WriteAll(file, "abc");
  TComm comm;
  comm.setCommName(file);
  EXPECT_EQ(OpenError(comm), "File handle is not a comm handle ");
  EXPECT_FALSE(comm.IsOpen());
}

TEST(SerialCommOpen, ACharacterDeviceThatIsNoTerminalCannotBeSetUp) {
  TComm comm;
  comm.setCommName("/dev/null");
  EXPECT_EQ(OpenError(comm), "Cannot setup comm buffer");
  EXPECT_FALSE(comm.IsOpen());
}

TEST_F(SerialComm, OpeningTwiceRaisesAlreadyOpenedAndLeavesThePortWorking) {
  Recorder rec(comm);
  open();
  EXPECT_EQ(OpenError(comm), "This serial port already opened");
  EXPECT_TRUE(comm.IsOpen());
  expectWorking(rec);
}

TEST_F(SerialComm, ADeviceHeldByAnotherEngineCannotBeOpened) {
  open();
  TComm second;
  second.setCommName(far.path());
  EXPECT_EQ(OpenError(second), "Error opening serial port");
  comm.ClosePort();
  // Once given back, the device opens again.
  EXPECT_NO_THROW(second.OpenPort());
  EXPECT_TRUE(second.IsOpen());
}

// With one descriptor left, the device opens but its wake-up events cannot be made: the open
// fails with its message and gives the device back.
TEST_F(SerialComm, NoDescriptorForTheEventsGivesUnableToCreateEventAndReleasesTheDevice) {
  comm.setCommName(far.path());
  testing_support::DescriptorsTaken taken(1);
  ASSERT_TRUE(taken.exhausted());
  const std::string error = OpenError(comm);
  taken.release();

  EXPECT_EQ(error, "Unable to create event");
  EXPECT_FALSE(comm.IsOpen());
  TComm second;
  second.setCommName(far.path());
  EXPECT_NO_THROW(second.OpenPort());
  EXPECT_TRUE(second.IsOpen());
}

TEST_F(SerialComm, ClosePortOnAClosedEngineAndTwiceInARowIsHarmless) {
  comm.ClosePort();
  open();
  comm.ClosePort();
  comm.ClosePort();
  EXPECT_FALSE(comm.IsOpen());
}

TEST_F(SerialComm, ReopeningAfterCloseWorks) {
  Recorder rec(comm);
  open();
  comm.ClosePort();
  comm.OpenPort();
  expectWorking(rec);
}

TEST_F(SerialComm, DestroyingAnOpenEngineClosesThePort) {
  auto engine = std::make_unique<TComm>();
  engine->setCommName(far.path());
  engine->OpenPort();
  engine.reset();
  TComm again;
  again.setCommName(far.path());
  EXPECT_NO_THROW(again.OpenPort());
}

TEST_F(SerialComm, ANonStandardBaudRateIsAcceptedWhereTheDriverTakesIt) {
  comm.setBaudRate(250000);
  open();
  // A pty keeps whatever speed it is given (it has no wire): the read-back shows termios2 set
  // the exact rate, not a B-constant.
  EXPECT_EQ(comm.LineState().BaudRate, 250000u);
  comm.setBaudRate(1234567);
  EXPECT_EQ(comm.BaudRate(), 1234567u);
  EXPECT_EQ(comm.LineState().BaudRate, 1234567u);
  comm.setBaudRate(115200);
  EXPECT_EQ(comm.LineState().BaudRate, 115200u);
}

TEST_F(SerialComm, SettingsTheDeviceRefusesAreKeptWithoutError) {
  open();
  // Out of range, as from a hand-edited ini: stored, passed on, refused by the device.
  EXPECT_NO_THROW(comm.setByteSize(static_cast<channels::TByteSize>(4)));
  EXPECT_EQ(static_cast<int>(comm.ByteSize()), 4);
  EXPECT_NO_THROW(comm.setStopBits(channels::TStopBits::_1_5));
  EXPECT_NO_THROW(comm.setParity(static_cast<channels::TParity>(9)));
  EXPECT_NO_THROW(comm.setBaudRate(0));
  const channels::TLineState state = comm.LineState();
  EXPECT_GE(state.DataBits, 5);
  EXPECT_LE(state.DataBits, 8);
  EXPECT_NE(state.BaudRate, 0u);
  Recorder rec(comm);
  expectWorking(rec);
}

TEST_F(SerialComm, OpenAsksForTheRequestedSpeedAgainAfterAClose) {
  comm.setBaudRate(57600);
  open();
  EXPECT_EQ(comm.LineState().BaudRate, 57600u);
  comm.ClosePort();
  EXPECT_EQ(comm.LineState().BaudRate, 0u);
  EXPECT_EQ(comm.BaudRate(), 57600u);  // a property keeps its value while closed
}

TEST_F(SerialComm, TheLineIsRawWithoutFlowControl) {
  open();
  // Bytes that a cooked terminal would interpret (XOFF, ^C, CR, LF, DEL, EOF) pass through as
  // they are, both ways.
  Recorder rec(comm);
  const QByteArray special("\x13\x11\x03\r\n\x7f\x04\x1a", 8);
  ASSERT_TRUE(far.write(special));
  ASSERT_TRUE(WaitUntil([&] { return rec.received() == special.size(); }));
  EXPECT_EQ(rec.all(), special);
  ASSERT_TRUE(comm.SendData(special.constData(), static_cast<quint16>(special.size())));
  EXPECT_EQ(far.read(special.size()), special);
}
