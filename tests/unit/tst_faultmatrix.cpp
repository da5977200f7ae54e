// The fault matrix of the configuration transactions: read, write, write in
// adjust mode, factory reset, core log and format detection, each against
// every terminal fault that applies, on the virtual clock. Every case checks
// the outcome and its message lines, that it ends within a bounded virtual
// time and only once, that the port is closed afterwards, that a read puts
// nothing outside the bytes it reads (and only the terminal's bytes at their
// own addresses), and that the terminal is sent nothing but the image.
#include <QtTest>

#include "TerminalRig.h"
#include "link/FormatTable.h"
#include "tst_faultmatrix.h"

using namespace std::chrono_literals;
using Kind = TransactionEngine::Kind;

namespace {

enum class Txn { Read, Write, AdjustWrite, Reset, Log, Detect };
enum class Fault {
  None,
  Silent,
  SilentFirst,
  FirstDataLost,
  WrongHandshake,
  RefuseFirst,
  RefuseMiddle,
  RefuseLast,
  Garbage,
  LongCount,
  HangUp,
  SlowBeyond,
  SlowInside,
  SilentRequest,
};

struct Expect {
  bool applies = true;
  bool ok = false;
  QStringList lines;  ///< must appear in this order (other lines may lie between)
  QString last;       ///< the last line; empty: not checked
  int asks = 0;       ///< Retry/Cancel questions
  bool userCancels = false;
  std::chrono::seconds bound{600};
};

const char* TxnName(Txn t) {
  static const char* names[] = {"read", "write", "adjust write", "reset", "core log", "detection"};
  return names[static_cast<int>(t)];
}

const char* FaultName(Fault f) {
  static const char* names[] = {"no fault",
                                "silent",
                                "silent on the first try",
                                "first data request lost",
                                "wrong handshake",
                                "refusal at the first block",
                                "refusal at a middle block",
                                "refusal at the last block",
                                "garbage",
                                "count byte beyond the data",
                                "hang-up in the middle",
                                "answers slower than the time-out",
                                "answers just inside the time-out",
                                "never answers one request"};
  return names[static_cast<int>(f)];
}

const QString kDetectFormat = QStringLiteral("19200,E,8,1");  // position 6
const QString kLinkFormat = QStringLiteral("9600,E,7,1");
const QString kLogText = QStringLiteral("ADC channel 3 over range; watchdog reset #7");

/// Block indexes (address / 16) refused first, in the middle and last.
int RefusedBlock(Txn t, Fault f) {
  const int first = t == Txn::Reset ? 0x400 / 16 : 0;
  int middle = 8, last = 0;
  switch (t) {
    case Txn::Read:
      last = 0x400 / 16;
      break;
    case Txn::Write:
      last = 0xF0 / 16;
      break;
    case Txn::AdjustWrite:
      last = 0x3F0 / 16;
      break;
    case Txn::Reset:
      last = 0x400 / 16;
      break;
    case Txn::Log:
      middle = 0x810 / 16;
      last = 0x820 / 16;
      break;
    case Txn::Detect:
      break;
  }
  return f == Fault::RefuseFirst ? first : f == Fault::RefuseMiddle ? middle : last;
}

/// The one request a terminal never answers: the identity read, the adjust
/// byte, a text block of the core log.
int SilentBlock(Txn t) {
  return t == Txn::Read ? 0x400 / 16 : t == Txn::AdjustWrite ? 0x3F0 / 16 : 0x810 / 16;
}

bool IsReading(Txn t) { return t == Txn::Read || t == Txn::Log; }

Expect Expected(Txn t, Fault f) {
  Expect e;
  const bool detect = t == Txn::Detect;
  const QString open = detect ? "自动匹配" : IsReading(t) ? "读取数据" : "设置数据";
  const QString tryLine = "Try(0):" + (detect ? FormatTable::At(0) : kLinkFormat);
  const QString okLast = t == Txn::Read  ? "读取成功!"
                         : t == Txn::Log ? "读取完毕!"
                         : detect        ? "自动匹配成功,匹配格式为:" + kDetectFormat
                                         : "设置成功";
  const QString failLast = t == Txn::Read  ? "读取失败!"
                           : t == Txn::Log ? "读取失败!"
                           : detect ? "自动匹配失败,请重新自动匹配或手动匹配!"
                                    : QString();
  const QString handshakeFailed = IsReading(t) ? "读取数据失败!" : "设置数据失败!";
  const auto ok = [&](QStringList middle) {
    e.ok = true;
    e.lines = QStringList{open, tryLine} + middle;
    e.last = okLast;
  };
  const auto fail = [&](QStringList middle) {
    e.ok = false;
    e.lines = QStringList{open, tryLine} + middle;
    e.last = failLast.isEmpty() ? (middle.isEmpty() ? QString() : middle.last()) : failLast;
  };
  const QString lastProgress = t == Txn::Read          ? "100%"
                               : t == Txn::Write       ? "25%"
                               : t == Txn::AdjustWrite ? "100%"
                               : t == Txn::Reset       ? "102%"
                                                       : kLogText.left(16);
  switch (f) {
    case Fault::None:
    case Fault::SlowInside:
      ok({lastProgress});
      if (detect) e.lines = QStringList{open, tryLine, "Try(6):" + kDetectFormat};
      break;
    case Fault::Silent:
      fail(detect ? QStringList{"Try(54):" + FormatTable::At(4)}
                  : QStringList{"Retry(1): ", "Retry(2): "});
      e.asks = 1;
      break;
    case Fault::SilentFirst:
      if (detect) {
        ok({"Try(49):" + FormatTable::At(49), "Try(50):" + FormatTable::At(0)});
        e.last = "自动匹配成功,匹配格式为:" + FormatTable::At(0);
      } else {
        // The repeated handshake "L35W" outside a session is the probe, and
        // the terminal answers it as one: every repeat is a wrong answer.
        fail({"Retry(1): ", "Retry(2): ", handshakeFailed});
      }
      break;
    case Fault::FirstDataLost:
      e.applies = !detect;
      ok({"Retry(1): ", lastProgress});
      break;
    case Fault::WrongHandshake:
      if (detect) {
        // "LBTW" is no answer to the probe: the next format, a second later.
        ok({"Try(0):" + FormatTable::At(1), "Try(49):" + FormatTable::At(0)});
        e.last = "自动匹配成功,匹配格式为:" + FormatTable::At(0);
      } else {
        fail({"Retry(1): ", "Retry(2): ", handshakeFailed});
      }
      break;
    case Fault::RefuseFirst:
    case Fault::RefuseMiddle:
    case Fault::RefuseLast:
      e.applies = !detect && (t != Txn::Reset || f == Fault::RefuseFirst);
      fail({IsReading(t) ? "读取失败" : "写入失败"});
      break;
    case Fault::Garbage:
      if (detect) {
        // Wrong answers never end a detection: the user stops it.
        fail({"Try(0):" + FormatTable::At(49), "Try(0):" + FormatTable::At(0)});
        e.userCancels = true;
      } else {
        fail({"Retry(1): ", "Retry(2): ", handshakeFailed});
      }
      break;
    case Fault::LongCount:
      e.applies = IsReading(t);
      ok({lastProgress});
      break;
    case Fault::HangUp:
      fail({IsReading(t) ? "读取数据失败!"
            : detect     ? "串口错误:The device vanished"
                         : "设置数据失败!",
            "串口错误:The device vanished"});
      if (detect) e.lines.removeLast();
      break;
    case Fault::SlowBeyond:
      // Every answer comes after its request has been repeated, so each late
      // "LBTW" restarts the transfer and the retry count with it: the third
      // time-out without progress asks the user, who cancels.
      fail(detect ? QStringList{"Try(54):" + FormatTable::At(4)}
                  : QStringList{"Retry(1): ", "Retry(1): "});
      e.asks = 1;
      break;
    case Fault::SilentRequest:
      // Everything before it is acknowledged again and again; its third
      // time-out asks the user, who cancels.
      e.applies = t == Txn::Read || t == Txn::AdjustWrite || t == Txn::Log;
      {
        const QString before = t == Txn::Log ? kLogText.left(16) : QStringLiteral("25%");
        fail({before, "Retry(1): ", before, "Retry(1): ", before});
      }
      e.asks = 1;
      break;
  }
  return e;
}

/// A terminal memory that differs from the tool's image everywhere.
void FillTerminal(TerminalModel& terminal) {
  for (int i = 0; i < 0x500; ++i)
    if (i < ParameterImage::kIdentityByte || i > ParameterImage::kIdentityByte + 3)
      terminal.Memory().SetByte(i, static_cast<uint8_t>(0x80 | (i * 13 + 5)));
}

void FillImage(ParameterImage& image) {
  for (int i = 0; i < ParameterImage::kSize; ++i)
    image.SetByte(i, static_cast<uint8_t>(i * 7 + 1) & 0x7F);
}

bool InReadRange(int i) { return i < 0x110 || (i >= 0x400 && i < 0x404); }

QString Summary(bool ok, const QStringList& lines, int asks, ManualClock::Duration elapsed) {
  return QStringLiteral("%1; last line \"%2\"; %3 question(s); %4 s")
      .arg(ok ? "ok" : "failed", lines.isEmpty() ? QString() : lines.last())
      .arg(asks)
      .arg(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count() / 1000.0, 0, 'f',
           3);
}

}  // namespace

Q_DECLARE_METATYPE(Txn)
Q_DECLARE_METATYPE(Fault)

class TestFaultMatrix : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void transaction_data() {
    QTest::addColumn<Txn>("txn");
    QTest::addColumn<Fault>("fault");
    for (int t = 0; t <= static_cast<int>(Txn::Detect); ++t) {
      for (int f = 0; f <= static_cast<int>(Fault::SilentRequest); ++f) {
        if (!Expected(Txn(t), Fault(f)).applies) continue;
        const QByteArray name = QByteArray(TxnName(Txn(t))) + " / " + FaultName(Fault(f));
        QTest::newRow(name.constData()) << Txn(t) << Fault(f);
      }
    }
  }

  void transaction() {
    QFETCH(Txn, txn);
    QFETCH(Fault, fault);
    const Expect e = Expected(txn, fault);

    TerminalRig rig;
    FaultyLine line(rig.terminal);
    rig.link.AttachDevice(&line);
    FillTerminal(rig.terminal);
    if (txn == Txn::Log) {
      QVERIFY(rig.terminal.AddLogEntry(kLogText.left(20).toLatin1()));
      QVERIFY(rig.terminal.AddLogEntry(kLogText.mid(20).toLatin1()));
    }
    FillImage(rig.image);
    const bool detect = txn == Txn::Detect;
    if (detect) {
      rig.terminal.SetFormat(fault == Fault::SilentFirst || fault == Fault::WrongHandshake
                                 ? FormatTable::At(0)
                                 : kDetectFormat);
      rig.engine.SetLinkSettings(kLinkFormat);
    } else {
      rig.SetFormat(kLinkFormat);
    }
    rig.engine.SetAdjustMode(txn == Txn::AdjustWrite);

    TerminalModel::Faults& faults = rig.terminal.MutableFaults();
    switch (fault) {
      case Fault::None:
        break;
      case Fault::Silent:
        faults.silent = true;
        break;
      case Fault::SilentFirst:
        if (detect)
          line.dropFirstAnswer = true;
        else
          faults.firstTry = TerminalModel::Faults::FirstTry::Handshake;
        break;
      case Fault::FirstDataLost:
        faults.firstTry = TerminalModel::Faults::FirstTry::DataRequest;
        break;
      case Fault::WrongHandshake:
        if (detect)
          line.replaceFirstAnswer = "LBTW";
        else
          faults.badHandshake = true;
        break;
      case Fault::RefuseFirst:
      case Fault::RefuseMiddle:
      case Fault::RefuseLast:
        faults.refuseBlock = RefusedBlock(txn, fault);
        break;
      case Fault::Garbage:
        if (detect)
          line.babble = true;  // wrong answers at every format
        else
          faults.garbage = true;
        break;
      case Fault::LongCount:
        faults.longCount = true;
        break;
      case Fault::HangUp: {
        static const int after[] = {4 + 4 * 5, 4 + 21 * 5, 4 + 21 * 5, 4 + 2, 4 + 4 * 2, 4 * 3};
        line.hangUpAfterBytes = after[static_cast<int>(txn)];
        break;
      }
      case Fault::SlowBeyond:
        faults.delay = 1100ms;
        break;
      case Fault::SlowInside:
        faults.delay = 990ms;
        break;
      case Fault::SilentRequest:
        faults.silentBlock = SilentBlock(txn);
        break;
    }

    const ParameterImage imageBefore = rig.image;
    const ParameterImage terminalBefore = rig.terminal.Memory();
    const auto start = rig.clock.Elapsed();
    switch (txn) {
      case Txn::Read:
        QVERIFY(rig.engine.StartRead());
        break;
      case Txn::Write:
      case Txn::AdjustWrite:
        QVERIFY(rig.engine.StartWrite());
        break;
      case Txn::Reset:
        QVERIFY(rig.engine.StartReset());
        break;
      case Txn::Log:
        QVERIFY(rig.engine.StartLog());
        break;
      case Txn::Detect:
        QVERIFY(rig.engine.StartDetect());
        break;
    }
    if (e.userCancels) {
      rig.clock.RunFor(120s);
      QCOMPARE(rig.finishedCount, 0);
      rig.engine.Cancel();
    }
    if (!rig.WaitFinished(e.bound)) {
      qWarning().noquote() << rig.sink.Lines().mid(0, 60).join('\n');
      QFAIL("did not end within the bound");
    }
    const auto elapsed = rig.clock.Elapsed() - start;
    rig.clock.RunFor(30s);  // nothing is left running that reports again

    const QStringList& lines = rig.sink.Lines();
    const int asks = rig.prompts.Count(ScriptedPrompts::Type::AskRetry);
    ReportCase(QStringLiteral("%1 / %2").arg(TxnName(txn), FaultName(fault)),
               QStringLiteral("%1; last line \"%2\"; %3 question(s)")
                   .arg(e.ok ? "ok" : "failed", e.last)
                   .arg(e.asks),
               Summary(rig.finishedOk, lines, asks, elapsed));

    QCOMPARE(rig.finishedCount, 1);
    QCOMPARE(rig.finishedOk, e.ok);
    QCOMPARE(rig.engine.OperationSucceeded(), e.ok);
    QVERIFY(!rig.engine.Busy());
    QVERIFY(!rig.link.IsOpen());
    QCOMPARE(asks, e.asks);
    int from = 0;
    for (const QString& expected : e.lines) {
      from = static_cast<int>(lines.indexOf(expected, from));
      QVERIFY2(from >= 0,
               qPrintable("missing or out of order: " + expected + "\n" + lines.join('\n')));
      ++from;
    }
    if (!e.last.isEmpty()) QCOMPARE(lines.last(), e.last);

    // The image: a read puts only the terminal's bytes, each at its own
    // address; nothing else changes it (a write stamps the marker).
    ParameterImage expectedImage = imageBefore;
    if (txn == Txn::Write || txn == Txn::AdjustWrite) expectedImage.StampValidMarker();
    for (int i = 0; i < ParameterImage::kSize; ++i) {
      const uint8_t now = rig.image.Byte(i);
      if (txn == Txn::Read && InReadRange(i) && now == rig.terminal.Memory().Byte(i)) continue;
      QVERIFY2(now == expectedImage.Byte(i), qPrintable(QStringLiteral("image byte %1").arg(i)));
    }
    if (txn == Txn::Read && e.ok) {
      QCOMPARE(rig.image.Bytes(0, 0x110), rig.terminal.Memory().Bytes(0, 0x110));
      QCOMPARE(rig.image.Bytes(0x400, 4), rig.terminal.Memory().Bytes(0x400, 4));
    }

    // The terminal: it receives the image's bytes and nothing else.
    if (txn == Txn::Write || txn == Txn::AdjustWrite) {
      for (int i = 0; i < 0x400; ++i) {
        const uint8_t now = rig.terminal.Memory().Byte(i);
        QVERIFY2(now == terminalBefore.Byte(i) || now == rig.image.Byte(i),
                 qPrintable(QStringLiteral("terminal byte %1").arg(i)));
      }
      QCOMPARE(rig.terminal.Memory().Bytes(0x400, ParameterImage::kSize - 0x400),
               terminalBefore.Bytes(0x400, ParameterImage::kSize - 0x400));
      if (e.ok) {
        QCOMPARE(rig.terminal.Memory().Bytes(0, 256), rig.image.Bytes(0, 256));
        QCOMPARE(rig.terminal.AdjustWrites(), txn == Txn::AdjustWrite ? 1 : 0);
      }
    } else if (txn != Txn::Reset) {
      QVERIFY(rig.terminal.Memory() == terminalBefore);
    } else if (e.ok) {
      QVERIFY(rig.terminal.FactoryResets() >= 1);
    }
    if (detect) {
      QCOMPARE(rig.engine.LinkSettings(), e.ok ? rig.terminal.Format() : kLinkFormat);
    }
  }
};

QTEST_GUILESS_MAIN(TestFaultMatrix)
#include "tst_faultmatrix.moc"
