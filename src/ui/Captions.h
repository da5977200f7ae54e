#pragma once

#include <QString>
#include <QStringList>

class QWidget;

/// The application's title: the start of every window caption and the title
/// of every message box.
inline const QString kApplicationTitle = QStringLiteral("TR5906");

/// "TR5906配置工具" in Chinese, "TR5906 Program Tool" in English.
QString WindowCaption(bool english);

/// "Ver:" and the program's major, minor and revision numbers ("Ver:1.1.1").
QString VersionCaption();

/// The five tab captions of TabStrip1. The Chinese ones are the design texts;
/// the English ones are used only when English is chosen.
QStringList TabCaptions(bool english);

/// Picks one of the two texts of a two-language caption.
inline QString Pick(bool english, const char* englishText, const char* chineseText) {
  return QString::fromUtf8(english ? englishText : chineseText);
}

/// Sets every caption and clears and refills every fixed list of the main
/// window in the chosen language. Controls are found under `form` by
/// objectName; a control that does not exist is skipped. The grids' own
/// headings and in-cell lists are set by the grids themselves.
void ApplyCaptions(QWidget* form, bool english);
