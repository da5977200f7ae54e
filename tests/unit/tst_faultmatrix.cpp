// The fault matrix of the configuration transactions on the virtual clock. Each case: the
// outcome, its message lines in order, one end within a bounded time, the port closed; a read
// puts only the terminal's bytes, each at its own address, into the image; a write sends only it.
#include <QtTest>

#include "TerminalRig.h"
#include "tst_faultmatrix.h"

using namespace std::chrono_literals;

class TestFaultMatrix : public QObject {
  Q_OBJECT

  /// A case is named "transaction / fault". `lines`: "|"-separated, in this
  /// order after the opening and try lines (others may lie between); the last
  /// one ends the list. `block`: the one refused or never answered (address / 16),
  /// or for a hang-up the bytes sent before the cut.
  static void Row(const char* name, bool ok, const QString& lines, int asks = 0, int block = -1) {
    QTest::newRow(name) << ok << lines.split('|') << asks << block;
  }

 private Q_SLOTS:
  void transaction_data() {
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("asks");  // Retry/Cancel questions, answered Cancel
    QTest::addColumn<int>("block");
    const QString found = "Try(6):19200,E,8,1|自动匹配成功,匹配格式为:19200,E,8,1";
    const QString gaveUp = "自动匹配失败,请重新自动匹配或手动匹配!";
    const QString vanished = "串口错误:The device vanished";
    Row("read / no fault", true, "100%|读取成功!");
    Row("write / no fault", true, "25%|设置成功");
    Row("reset / no fault", true, "102%|设置成功");
    Row("core log / no fault", true, "ADC channel 3 ov|读取完毕!");
    Row("detection / no fault", true, found);
    Row("read / silent", false, "Retry(1): |Retry(2): |读取失败!", 1);
    Row("write / silent", false, "Retry(1): |Retry(2): ", 1);
    Row("detection / silent", false, "Try(54):9600,O,7,1|" + gaveUp, 1);
    Row("read / silent on the first try", false, "Retry(1): |Retry(2): |读取数据失败!|读取失败!");
    Row("detection / silent on the first try", true,
        "Try(49):128000,O,7,1|Try(50):9600,N,8,1|自动匹配成功,匹配格式为:9600,N,8,1");
    Row("core log / first data request lost", true, "Retry(1): |ADC channel 3 ov|读取完毕!");
    Row("write / wrong handshake", false, "Retry(1): |Retry(2): |设置数据失败!");
    // "LBTW" is no answer to the probe: the next format, a second later.
    Row("detection / wrong handshake", true,
        "Try(0):9600,E,8,1|Try(49):9600,N,8,1|自动匹配成功,匹配格式为:9600,N,8,1");
    Row("read / refusal at the first block", false, "读取失败|读取失败!", 0, 0);
    Row("read / refusal at the identity", false, "25%|读取失败|读取失败!", 0, 0x40);
    Row("write / refusal at a middle block", false, "12%|写入失败", 0, 8);
    Row("adjust write / refusal at the adjust byte", false, "25%|写入失败", 0, 0x3F);
    Row("reset / refusal", false, "写入失败", 0, 0x40);
    Row("core log / refusal of text", false, "ADC channel 3 ov|读取失败|读取失败!", 0, 0x81);
    Row("read / garbage", false, "Retry(1): |Retry(2): |读取数据失败!|读取失败!");
    // Wrong answers never end a detection: the user stops it.
    Row("detection / garbage", false, "Try(0):128000,O,7,1|Try(0):9600,N,8,1|" + gaveUp);
    Row("read / count byte beyond the data", true, "100%|读取成功!");
    Row("core log / count byte beyond the data", true, "ADC channel 3 ov|读取完毕!");
    Row("read / hang-up in the middle", false, "读取数据失败!|" + vanished + "|读取失败!", 0, 24);
    Row("write / hang-up in the middle", false, "设置数据失败!|" + vanished, 0, 109);
    Row("core log / hang-up in the middle", false, "读取数据失败!|" + vanished + "|读取失败!", 0,
        12);
    Row("detection / hang-up in the middle", false, vanished + "|" + gaveUp, 0, 12);
    // A late "LBTW" restarts the transfer and its count: the third time-out
    // of one request asks.
    Row("read / answers slower than the time-out", false, "Retry(1): |Retry(1): |读取失败!", 1);
    Row("detection / answers slower than the time-out", false, "Try(54):9600,O,7,1|" + gaveUp, 1);
    Row("read / answers just inside the time-out", true, "100%|读取成功!");
    // The terminal wakes while the user is asked: its answer is dropped, Cancel ends it.
    Row("read / an answer while the question is open", false, "Retry(1): |Retry(2): |读取失败!", 1);
    Row("write / an answer while the question is open", false, "Retry(1): |Retry(2): ", 1);
    // Everything before it is acknowledged again and again until the question.
    Row("read / never answers the identity", false, "25%|Retry(1): |25%|Retry(1): |25%|读取失败!",
        1, 0x40);
    Row("adjust write / never answers the adjust byte", false, "25%|Retry(1): |25%|Retry(1): |25%",
        1, 0x3F);
    const QString text = "ADC channel 3 ov";
    Row("core log / never answers a text block", false,
        text + "|Retry(1): |" + text + "|Retry(1): |" + text + "|读取失败!", 1, 0x81);
  }

  void transaction() {
    const QString txn = QString(QTest::currentDataTag()).section(" / ", 0, 0);
    const QString fault = QString(QTest::currentDataTag()).section(" / ", 1);
    QFETCH(bool, ok);
    QFETCH(QStringList, lines);
    QFETCH(int, asks);
    QFETCH(int, block);
    const bool detect = txn == "detection", writing = txn == "write" || txn == "adjust write";
    TerminalRig rig;
    FaultyLine line(rig.terminal);
    rig.link.AttachDevice(&line);
    for (int i = 0; i < 0x500; ++i)  // a terminal that differs from the image everywhere
      if (i < 0x400 || i > 0x403) rig.terminal.Memory().SetByte(i, uint8_t(0x80 | (i * 13 + 5)));
    for (int i = 0; i < ParameterImage::kSize; ++i) rig.image.SetByte(i, uint8_t(i * 7 + 1) & 0x7F);
    QVERIFY(rig.terminal.AddLogEntry("ADC channel 3 over r") &&
            rig.terminal.AddLogEntry("ange; watchdog reset #7"));
    const bool first = fault == "silent on the first try" || fault == "wrong handshake";
    rig.SetFormat(detect ? (first ? "9600,N,8,1" : "19200,E,8,1") : "9600,E,7,1");
    if (detect) rig.engine.SetLinkSettings("9600,E,7,1");
    rig.engine.SetAdjustMode(txn == "adjust write");
    TerminalModel::Faults& faults = rig.terminal.MutableFaults();
    using FirstTry = TerminalModel::Faults::FirstTry;
    faults.silent = fault == "silent" || fault.startsWith("an answer while");
    if (fault.startsWith("an answer while"))
      rig.prompts.SetHook([&](const ScriptedPrompts::Prompt&) {
        faults.silent = false;
        rig.link.InjectReceive("LBTW", 100ms);
        rig.clock.RunFor(3s);
      });
    faults.firstTry = fault == "silent on the first try" && !detect ? FirstTry::Handshake
                      : fault == "first data request lost"          ? FirstTry::DataRequest
                                                                    : FirstTry::None;
    line.dropFirstAnswer = fault == "silent on the first try" && detect;
    faults.badHandshake = fault == "wrong handshake" && !detect;
    if (fault == "wrong handshake" && detect) line.replaceFirstAnswer = "LBTW";
    faults.refuseBlock = fault.startsWith("refusal") ? block : -1;
    faults.garbage = fault == "garbage" && !detect;
    line.babble = fault == "garbage" && detect;  // wrong answers at every format
    faults.longCount = fault == "count byte beyond the data";
    if (fault.startsWith("hang-up")) line.hangUpAfterBytes = block;
    faults.delay = fault == "answers slower than the time-out"   ? 1100ms
                   : fault == "answers just inside the time-out" ? 990ms
                                                                 : 0ms;
    faults.silentBlock = fault.startsWith("never answers") ? block : -1;

    const ParameterImage imageBefore = rig.image, terminalBefore = rig.terminal.Memory();
    QVERIFY(txn == "read"       ? rig.engine.StartRead()
            : writing           ? rig.engine.StartWrite()
            : txn == "reset"    ? rig.engine.StartReset()
            : txn == "core log" ? rig.engine.StartLog()
                                : rig.engine.StartDetect());
    if (fault == "garbage" && detect) {
      rig.clock.RunFor(120s);
      QCOMPARE(rig.finishedCount, 0);
      rig.engine.Cancel();
    }
    QVERIFY2(rig.WaitFinished(600s), "did not end within the bound");
    const double seconds = rig.clock.Elapsed() / 1ms / 1000.0;
    rig.clock.RunFor(30s);  // nothing is left running that reports again
    const QStringList seen = rig.sink.Lines();
    const int asked = rig.prompts.Count(ScriptedPrompts::Type::AskRetry);
    const auto describe = [](bool ok, const QString& last, int asks) {
      return QString("%1; last line \"%2\"; %3 question(s)")
          .arg(ok ? "ok" : "failed", last)
          .arg(asks);
    };
    ReportCase(describe(ok, lines.last(), asks),
               describe(rig.finishedOk, seen.value(seen.size() - 1), asked) +
                   QString("; %1 s").arg(seconds, 0, 'f', 3));
    QCOMPARE(rig.finishedCount, 1);
    QCOMPARE(rig.finishedOk, ok);
    QCOMPARE(rig.engine.OperationSucceeded(), ok);
    QVERIFY(!rig.engine.Busy());
    QVERIFY(!rig.link.IsOpen());
    QCOMPARE(asked, asks);
    const QString open = detect                               ? "自动匹配"
                         : txn == "read" || txn == "core log" ? "读取数据"
                                                              : "设置数据";
    QCOMPARE(seen.mid(0, 2),
             (QStringList{open, detect ? "Try(0):9600,N,8,1" : "Try(0):9600,E,7,1"}));
    int from = 2;
    for (const QString& expected : lines) {
      from = int(seen.indexOf(expected, from)) + 1;
      QVERIFY2(from > 0,
               qPrintable("missing or out of order: " + expected + "\n" + seen.join('\n')));
    }
    QCOMPARE(seen.last(), lines.last());

    // Only the bytes a transaction carries may change, and only to the other side's.
    ParameterImage image = imageBefore, terminal = terminalBefore;
    if (writing) image.StampValidMarker();
    for (int i = 0; i < ParameterImage::kSize; ++i) {
      const uint8_t theirs = rig.terminal.Memory().Byte(i), ours = rig.image.Byte(i);
      if (txn == "read" && (i < 0x110 || (i >= 0x400 && i < 0x404)) && (ok || ours == theirs))
        image.SetByte(i, theirs);
      if (writing && (i < 0x100 || (i == 0x3F0 && txn == "adjust write")) && (ok || ours == theirs))
        terminal.SetByte(i, ours);
    }
    QVERIFY(rig.image == image);
    if (txn != "reset") QVERIFY(rig.terminal.Memory() == terminal);
    if (txn == "reset" && ok) QVERIFY(rig.terminal.FactoryResets() >= 1);
    if (detect) QCOMPARE(rig.engine.LinkSettings(), ok ? rig.terminal.Format() : "9600,E,7,1");
  }
};

QTEST_GUILESS_MAIN(TestFaultMatrix)
#include "tst_faultmatrix.moc"
