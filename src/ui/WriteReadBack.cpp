#include "ui/WriteReadBack.h"

#include "image/FieldLabels.h"
#include "image/FieldTable.h"
#include "link/MessageSink.h"
#include "link/Prompts.h"
#include "link/SettingsStore.h"
#include "ui/Captions.h"

#include <QCheckBox>

#include <algorithm>

namespace {

// The differences in the order the technician looks for them: by page, the
// fields no page shows last, each page's fields in image order.
std::vector<FieldDifference> ByPage(std::vector<FieldDifference> differences) {
  const auto group = [](const FieldDifference& d) {
    const Field* field = FieldTable::Find(d.field);
    return field ? FieldLabels::Of(*field).group : FieldGroup::Unshown;
  };
  std::stable_sort(
      differences.begin(), differences.end(),
      [&](const FieldDifference& a, const FieldDifference& b) { return group(a) < group(b); });
  return differences;
}

QString NameOf(const FieldDifference& difference, bool english) {
  if (const Field* field = FieldTable::Find(difference.field))
    return FieldLabels::CaptionWithGroup(*field, english);
  // A byte no field names: "byte 300".
  const QString byte = difference.field.section(QLatin1Char(' '), 1);
  return english ? QStringLiteral("Byte %1 (%2)")
                       .arg(byte, FieldLabels::GroupName(FieldGroup::Unshown, true))
                 : QStringLiteral("字节%1(%2)")
                       .arg(byte, FieldLabels::GroupName(FieldGroup::Unshown, false));
}

}  // namespace

WriteReadBack::WriteReadBack(QCheckBox& box, SettingsStore& store, TransactionHost& host,
                             const TransactionHost::Parts& parts)
    : box_(box),
      store_(store),
      host_(host),
      parts_(parts),
      check_(parts.link, parts.clock, parts.prompts, parts.sink) {
  box_.setChecked(store_.Value(QLatin1String(kVerifyKey)) != QLatin1String("0"));
  connect(&box_, &QCheckBox::toggled, this, [this](bool on) {
    store_.SetValue(QLatin1String(kVerifyKey), on ? QStringLiteral("1") : QStringLiteral("0"));
  });
  check_.SetFinishedHandler(
      [this](bool readOk, const std::vector<FieldDifference>&) { Finished(readOk); });
}

WriteReadBack::~WriteReadBack() {
  check_.SetFinishedHandler(nullptr);
  if (running_) check_.Cancel();
}

bool WriteReadBack::Busy() const { return running_; }

void WriteReadBack::Cancel() { check_.Cancel(); }

void WriteReadBack::SetFinishedHandler(
    std::function<void(bool passed, const ParameterImage& written)> handler) {
  finished_ = std::move(handler);
}

bool WriteReadBack::Start(const ParameterImage& written) {
  if (!box_.isChecked()) return false;
  // Read back what was just written, with the write's port, format and scope.
  const TransactionHost::Setup setup = host_.LinkSetup();
  english_ = setup.english;
  written_ = written;
  TransactionEngine& engine = check_.Engine();
  engine.SetPortNumber(setup.port);
  engine.SetLinkSettings(setup.linkSettings);
  engine.SetLanguageEnglish(setup.english);
  ReadBackCheck::Scope scope;
  scope.adjust = setup.adjust;
  scope.service = setup.service;
  scope.serialNumber = setup.service && setup.serialNumber;
  if (!check_.Start(written_, scope)) {
    Finished(false);
    return true;
  }
  running_ = true;
  host_.SetTransactionControlsEnabled(false);
  return true;
}

void WriteReadBack::Finished(bool readOk) {
  running_ = false;
  host_.SetTransactionControlsEnabled(true);
  const bool english = english_;
  const bool passed = readOk && check_.Passed();
  if (passed) {
    parts_.sink.AddMessage(Pick(english, "Verify succeeded", "校验成功"));
  } else if (!readOk) {
    parts_.sink.AddMessage(Pick(english, "Verify failed: no read-back", "校验失败:回读失败"));
    parts_.prompts.Critical(Pick(english,
                                 "Verify failed: the terminal could not be read back, so the "
                                 "write is not confirmed.",
                                 "校验失败:终端无法回读，写入未经确认。"));
  } else {
    const QStringList names = Names(check_.Differences(), english);
    const QStringList lines = Lines(check_.Differences(), english);
    parts_.sink.AddMessage(Pick(english, "Verify failed: ", "校验失败:") +
                           names.join(QStringLiteral(", ")));
    for (const QString& line : lines) parts_.sink.AddMessage(line);
    parts_.prompts.CriticalDetails(
        Pick(english, "Verify failed: the terminal holds other values than were written in:\n",
             "校验失败:终端中以下字段与写入的不同:\n") +
            names.join(QLatin1Char('\n')),
        lines.join(QLatin1Char('\n')));
  }
  if (finished_) finished_(passed, written_);
}

QStringList WriteReadBack::Names(const std::vector<FieldDifference>& differences, bool english) {
  QStringList names;
  for (const FieldDifference& d : ByPage(differences)) names << NameOf(d, english);
  return names;
}

QStringList WriteReadBack::Lines(const std::vector<FieldDifference>& differences, bool english) {
  QStringList lines;
  const auto value = [english](const QString& text) {
    return !english && text == QLatin1String("(empty)") ? QStringLiteral("(空)") : text;
  };
  for (const FieldDifference& d : ByPage(differences)) {
    lines << (english ? QStringLiteral("%1: wrote %2, read %3")
                      : QStringLiteral("%1: 写入 %2, 读回 %3"))
                 .arg(NameOf(d, english), value(d.expected), value(d.found));
  }
  return lines;
}
