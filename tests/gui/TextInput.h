#pragma once
// Text put into a box the ways a user does: "paste:..." with the clipboard
// and Ctrl+V, "drop:..." dropped at the box's right end, anything else typed.
#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QtTest>

inline void PutText(QWidget* box, const QString& text) {
  if (text.startsWith("paste:")) {
    QApplication::clipboard()->setText(text.mid(6));
    return QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
  }
  if (!text.startsWith("drop:")) return QTest::keyClicks(box, text);
  QMimeData data;
  data.setText(text.mid(5));
  const QPoint end(box->width() - 2, box->height() / 2);
  QDragEnterEvent enter(end, Qt::CopyAction, &data, Qt::LeftButton, {});
  QDropEvent drop(end, Qt::CopyAction, &data, Qt::LeftButton, {});
  QApplication::sendEvent(box, &enter);
  QApplication::sendEvent(box, &drop);
}
