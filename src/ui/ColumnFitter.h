#pragma once

#include <QList>
#include <QObject>

class QTableWidget;

/// Grids whose columns and rows grow with their texts: at a larger font or
/// scale factor every cell's text stays whole.
class ColumnFitter : public QObject {
  Q_OBJECT
 public:
  /// Fits `grids` now and again whenever their font changes.
  explicit ColumnFitter(const QList<QTableWidget*>& grids, QObject* parent = nullptr);

  /// Widens each column to its widest text and each row to the font's height.
  static void Fit(QTableWidget* grid);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QList<QTableWidget*> grids_;
};
