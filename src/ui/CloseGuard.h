#pragma once

#include <QString>

class ParameterImage;
class Prompts;
class QWidget;
class UnsavedEdits;

/// Closing the main window, whichever way (the close button, Alt+C, the
/// title bar, Alt+F4): the box or grid cell being typed in is left first, so
/// its rules run and its value is stored, then edits that were neither saved
/// nor written are asked about (Save / Discard / Cancel).
class CloseGuard {
 public:
  CloseGuard(QWidget& window, UnsavedEdits& edits, Prompts& prompts, ParameterImage& image,
             bool english);

  /// Whether the window may close now; false when the user cancelled or the
  /// save did not happen (the box typed in then has the focus again).
  bool MayClose();

 private:
  bool Save();

  QWidget& window_;
  UnsavedEdits& edits_;
  Prompts& prompts_;
  ParameterImage& image_;
  bool english_;
};
