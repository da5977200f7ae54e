// The simulated terminal on its own: formats, framing and checks. Its log and
// its faults are exercised through the engine (tst_engine, tst_faultmatrix).
#include <QtTest>

#include "TerminalModel.h"
#include "image/Defaults.h"
#include "link/Frame.h"

namespace {

QByteArray Ask(TerminalModel& terminal, const QByteArray& bytes, const QString& settings) {
  return terminal.Receive(bytes, settings).bytes;
}

}  // namespace

class TestTerminalModel : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void greetsAtItsFormatAndTransfersAtEightBits() {
    TerminalModel terminal;
    terminal.SetFormat("9600,E,7,1");
    QCOMPARE(Ask(terminal, "LBTW", "9600,E,8,1"), QByteArray());  // wrong data bits
    QCOMPARE(Ask(terminal, "LBTW", "9600,O,7,1"), QByteArray());  // wrong parity
    QCOMPARE(Ask(terminal, "L35W", "9600,E,7,1"), QByteArray("L35W"));
    QCOMPARE(Ask(terminal, QByteArray::fromHex("52000010"), "9600,E,8,1"), QByteArray());
    QCOMPARE(Ask(terminal, "LBTW", "9600,E,7,1"), QByteArray("LBTW"));
    QVERIFY(terminal.InSession());
    QCOMPARE(Ask(terminal, QByteArray::fromHex("52000010"), "9600,E,7,1"), QByteArray());
    const QByteArray answer = Ask(terminal, QByteArray::fromHex("52000010"), "9600,E,8,1");
    QCOMPARE(answer.left(4), QByteArray::fromHex("06000010"));
    QCOMPARE(answer.mid(4), terminal.Memory().Bytes(0, 16));
    // A repeated greeting inside the session resumes it.
    QCOMPARE(Ask(terminal, "L35W", "9600,E,8,1"), QByteArray("LBTW"));
    // So does a new greeting, whatever format it comes at.
    QCOMPARE(Ask(terminal, "LBTW", "9600,E,8,1"), QByteArray("LBTW"));
    QVERIFY(terminal.InSession());
    QCOMPARE(Ask(terminal, "E", "9600,E,8,1"), QByteArray());
    QVERIFY(!terminal.InSession());
  }

  void requestsInPiecesAndSeveralAtOnce() {
    TerminalModel terminal;
    QCOMPARE(Ask(terminal, "LB", "9600,N,8,1"), QByteArray());
    QCOMPARE(Ask(terminal, "TW", "9600,N,8,1"), QByteArray("LBTW"));
    const QByteArray write = Frame::Write(0x20, "abcd").bytes;
    QCOMPARE(Ask(terminal, write.left(5), "9600,N,8,1"), QByteArray());
    QCOMPARE(Ask(terminal, write.mid(5) + QByteArray::fromHex("52040004"), "9600,N,8,1"),
             QByteArray::fromHex("06") + QByteArray::fromHex("06040004") +
                 terminal.Memory().Bytes(1024, 4));
    QCOMPARE(terminal.Memory().Bytes(0x20, 4), QByteArray("abcd"));
    QCOMPARE(terminal.RequestLog().size(), 3);
  }

  void writesAreCheckedAndResetReloadsDefaults() {
    TerminalModel terminal;
    Ask(terminal, "LBTW", "9600,N,8,1");
    const uint8_t before = terminal.Memory().Byte(0x10);
    QByteArray bad = Frame::Write(0x10, QByteArray(16, '\x11')).bytes;
    bad[bad.size() - 1] = char(bad.back() + 1);
    QCOMPARE(Ask(terminal, bad, "9600,N,8,1"), QByteArray::fromHex("15"));
    QCOMPARE(terminal.Memory().Byte(0x10), before);
    QCOMPARE(Ask(terminal, Frame::Write(0x2800 - 8, QByteArray(16, 'x')).bytes, "9600,N,8,1"),
             QByteArray::fromHex("15"));  // past the memory
    QCOMPARE(Ask(terminal, QByteArray::fromHex("5703F00180CB"), "9600,N,8,1"),
             QByteArray::fromHex("06"));
    QCOMPARE(terminal.LastAdjust(), 0x80);

    ParameterImage defaults;
    LoadDefaults(defaults);
    Ask(terminal, Frame::Write(0, QByteArray(16, '\x7F')).bytes, "9600,N,8,1");
    QVERIFY(terminal.Memory().Bytes(0, 16) != defaults.Bytes(0, 16));
    QCOMPARE(Ask(terminal, QByteArray::fromHex("570400005B"), "9600,N,8,1"),
             QByteArray::fromHex("06"));
    QCOMPARE(terminal.Memory().Bytes(0, kDefaultByteCount), defaults.Bytes(0, kDefaultByteCount));
    QCOMPARE(terminal.FactoryResets(), 1);
  }
};

QTEST_GUILESS_MAIN(TestTerminalModel)
#include "tst_terminalmodel.moc"
