#pragma once

class ParameterImage;
struct FieldLabel;

/// The main window's form as a feature that changes the image or points into
/// the pages sees it.
class FormView {
 public:
  virtual ~FormView() = default;
  /// The image every control shows and every editor writes.
  virtual ParameterImage& Image() = 0;
  /// The image was changed outside the controls: they show it again, and
  /// the title marks the edits.
  virtual void ImageChanged() = 0;
  /// Brings the page and the control that show a field forward, the grid
  /// cell current; nothing for a field that no shown control holds.
  virtual void RevealField(const FieldLabel& label) = 0;
};
