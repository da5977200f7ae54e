// The simulator's routing between the terminal's configuration protocol and
// its boot loader.
#include "BootLoaderModel.h"
#include "SimulatedDevice.h"
#include "TerminalModel.h"

#include <QtTest>

namespace {

const QString kApp = QStringLiteral("9600,N,8,1");
const QString kBoot = QStringLiteral("19200,N,8,1");
const QByteArray kStart("UPD\x11", 4);
const QByteArray kGo("U\x03\x00\x00\x01\x08", 6);

}  // namespace

class TestSimulatedDevice : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void start_frame_hands_the_line_to_the_boot_loader_and_go_hands_it_back() {
    TerminalModel terminal;
    BootLoaderModel bootLoader;
    SimulatedDevice device(terminal, bootLoader);

    QCOMPARE(device.Receive("LBTW", kApp).bytes, QByteArray("LBTW"));
    QCOMPARE(device.Receive("E", kApp).bytes, QByteArray());
    QVERIFY(!device.InBootLoader());

    const DeviceReply started = device.Receive(kStart, kApp);
    QCOMPARE(started.bytes, QByteArray("yUU\x10", 4));
    QVERIFY(device.InBootLoader());
    const int requestsBefore = int(terminal.RequestLog().size());
    // The terminal hears nothing while the boot loader runs.
    QVERIFY(device.Receive("LBTW", kApp).bytes.isEmpty());
    QCOMPARE(int(terminal.RequestLog().size()), requestsBefore);

    QCOMPARE(device.Receive(kGo, kBoot).bytes, QByteArray("y"));
    QVERIFY(!device.InBootLoader());
    QVERIFY(bootLoader.ApplicationStarted());
    QCOMPARE(device.Receive("LBTW", kApp).bytes, QByteArray("LBTW"));
  }

  void start_frame_in_pieces_still_reaches_the_boot_loader() {
    TerminalModel terminal;
    BootLoaderModel bootLoader;
    SimulatedDevice device(terminal, bootLoader);
    QVERIFY(device.Receive(kStart.left(2), kApp).bytes.isEmpty());
    QCOMPARE(device.Receive(kStart.mid(2), kApp).bytes, QByteArray("yUU\x10", 4));
    QVERIFY(device.InBootLoader());
  }
};

QTEST_GUILESS_MAIN(TestSimulatedDevice)
#include "tst_simulateddevice.moc"
