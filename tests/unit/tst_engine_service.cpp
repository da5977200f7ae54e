// With the service page on, a read and a write also carry the production
// serial number and the extended block; progress counts over the whole.
#include <QtTest>

#include "TerminalRig.h"
#include "link/Frame.h"

using namespace std::chrono_literals;

class TestEngineService : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void readCarriesSerialNumberAndExtendedBlock() {
    TerminalRig rig;
    ParameterImage& memory = rig.terminal.Memory();
    for (int i = 0; i < 32; ++i)
      memory.SetByte(ParameterImage::kSerialNumberByte + i, 'A' + i % 26);
    for (int i = 0; i < 2048; ++i)
      memory.SetByte(ParameterImage::kExtendedBase + i, uint8_t(i * 13));
    rig.engine.SetServiceTransfer(true, false);
    QVERIFY(rig.engine.StartRead());
    QVERIFY(rig.WaitFinished(10s));
    QVERIFY(rig.finishedOk);

    QCOMPARE(rig.image.Bytes(2048, 32), memory.Bytes(2048, 32));
    QCOMPARE(rig.image.Bytes(4096, 2048), memory.Bytes(4096, 2048));
    const QList<QByteArray> writes = rig.link.Writes();
    const int blocks = 17 + 1 + 2 + 128;
    QCOMPARE(writes.size(), 1 + blocks + 1);
    QCOMPARE(writes.at(18), QByteArray::fromHex("52040004"));  // identity right after the options
    QCOMPARE(writes.at(19), QByteArray::fromHex("52080010"));
    QCOMPARE(writes.at(21), QByteArray::fromHex("52100010"));
    QCOMPARE(writes.at(blocks), QByteArray::fromHex("5217F010"));

    const QStringList lines = rig.sink.Lines();
    QCOMPARE(lines.size(), 2 + blocks + 1);
    QCOMPARE(lines.at(2), QString("0%"));
    QCOMPARE(lines.at(2 + blocks - 1), QString("100%"));
    int last = -1;
    for (const QString& line : lines.mid(2, blocks)) {
      const int percent = line.chopped(1).toInt();
      QVERIFY(percent >= last);
      last = percent;
    }
  }

  void writeCarriesExtendedBlockAndSerialNumberWhenAsked() {
    for (const bool serialNumber : {false, true}) {
      TerminalRig rig;
      for (int i = 0; i < 32; ++i)
        rig.image.SetByte(ParameterImage::kSerialNumberByte + i, '0' + i % 10);
      for (int i = 0; i < 2046; ++i)
        rig.image.SetByte(ParameterImage::kExtendedBase + i, uint8_t(i * 7));
      rig.engine.SetAdjustMode(true);
      rig.engine.SetServiceTransfer(true, serialNumber);
      QVERIFY(rig.engine.StartWrite());
      QVERIFY(rig.WaitFinished(10s));
      QVERIFY(rig.finishedOk);

      const ParameterImage& memory = rig.terminal.Memory();
      QCOMPARE(memory.Bytes(0, 256), rig.image.Bytes(0, 256));
      QCOMPARE(memory.Bytes(4096, 2048), rig.image.Bytes(4096, 2048));
      QVERIFY(memory.HasValidMarker());
      QCOMPARE(memory.Bytes(2048, 32) == rig.image.Bytes(2048, 32), serialNumber);
      QCOMPARE(rig.terminal.AdjustWrites(), 1);

      const int blocks = 16 + 1 + 128 + (serialNumber ? 2 : 0);
      const QStringList lines = rig.sink.Lines();
      QCOMPARE(lines.size(), 2 + blocks + 1);
      QCOMPARE(lines.at(2 + blocks - 1), QString("100%"));
      QCOMPARE(lines.last(), QString("设置成功"));
    }
  }

  void resetAndOffSwitchStayAsTheyAre() {
    TerminalRig rig;
    rig.engine.SetServiceTransfer(true, true);
    QVERIFY(rig.engine.StartReset());
    QVERIFY(rig.WaitFinished(5s));
    QCOMPARE(rig.sink.Lines(), (QStringList{"设置数据", "Try(0):9600,N,8,1", "102%", "设置成功"}));

    rig.engine.SetServiceTransfer(false, true);
    rig.link.ClearLog();
    QVERIFY(rig.engine.StartWrite());
    QVERIFY(rig.WaitFinished(5s));
    QCOMPARE(rig.link.Writes().size(), 1 + 16 + 1);
  }
};

QTEST_GUILESS_MAIN(TestEngineService)
#include "tst_engine_service.moc"
