#pragma once

#include "image/ParameterImage.h"
#include "link/ReadBackCheck.h"
#include "ui/TransactionHost.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class QCheckBox;
class SettingsStore;

/// What happens after a write: with "写入后校验" ticked (remembered as
/// "VerifyWrite" in the settings store, on by default) the terminal is read
/// back into an image of its own, never into the form, and compared field by
/// field with what was written. The message list then says "校验成功", or
/// "校验失败:" with the fields by their captions and pages and one line per
/// field, and a message box names them, so that a failed check is not
/// missed. The form counts as kept only when the check passed.
class WriteReadBack : public QObject {
  Q_OBJECT
 public:
  /// Settings key of the "写入后校验" box ("1" or "0"; missing: on).
  static constexpr const char* kVerifyKey = "VerifyWrite";

  WriteReadBack(QCheckBox& box, SettingsStore& store, TransactionHost& host,
                const TransactionHost::Parts& parts);
  ~WriteReadBack() override;

  /// The window's write of `written` ended with "设置成功". Returns false when
  /// the box is off (nothing is checked); otherwise the check runs with the
  /// write's port, format and scope, the transaction controls disabled, and
  /// its end is reported through the finished handler.
  bool Start(const ParameterImage& written);
  /// True while the read-back runs.
  bool Busy() const;
  /// Stops the read-back; the check ends as failed.
  void Cancel();

  /// Called at the end of a check with its outcome and the image written.
  void SetFinishedHandler(std::function<void(bool passed, const ParameterImage& written)> handler);

  /// The differing fields as the list names them, those on a page first
  /// ("发射功率(通信参数)"), each with its line ("发射功率(通信参数): 写入 22, 读回 9").
  static QStringList Names(const std::vector<FieldDifference>& differences, bool english);
  static QStringList Lines(const std::vector<FieldDifference>& differences, bool english);

 private:
  void Finished(bool readOk);

  QCheckBox& box_;
  SettingsStore& store_;
  TransactionHost& host_;
  TransactionHost::Parts parts_;
  ReadBackCheck check_;
  ParameterImage written_;
  bool english_ = false;
  bool running_ = false;
  std::function<void(bool, const ParameterImage&)> finished_;
};
