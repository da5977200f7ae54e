#pragma once

class ParameterImage;

/// Number of bytes LoadDefaults writes, from byte 0 (option words 0 to 68).
constexpr int kDefaultByteCount = 138;

/// Writes the start-up defaults of bytes 0 to 137, every one of them;
/// nothing else in the image is touched (the extended block and the valid
/// marker stay as they are).
void LoadDefaults(ParameterImage& image);
