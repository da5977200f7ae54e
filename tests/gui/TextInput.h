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
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
  } else if (text.startsWith("drop:")) {
    QMimeData data;
    data.setText(text.mid(5));
    const QPoint end(box->width() - 2, box->height() / 2);
    QDragEnterEvent enter(end, Qt::CopyAction, &data, Qt::LeftButton, {});
    QDropEvent drop(end, Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(box, &enter);
    QApplication::sendEvent(box, &drop);
  } else {
    QTest::keyClicks(box, text);
  }
}
