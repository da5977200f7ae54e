// The configuration text reader fed arbitrary bytes: refused with at least one
// error in both languages and the image untouched, or applied; an applied
// image then goes through an export with "all" and back unchanged.
#include "FuzzSupport.h"
#include "image/Defaults.h"
#include "image/ParameterImage.h"
#include "text/ConfigApply.h"
#include "text/ConfigExport.h"
#include "text/ConfigPlan.h"
#include "text/ConfigReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const ParameterImage base = [] {
    ParameterImage image;
    LoadDefaults(image);
    return image;
  }();
  const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  // Odd sizes provision: "{serial}" is checked with numbers of up to 8 characters.
  const ConfigCheck check = ConfigReader::Read(text, {size % 2 == 1 ? 8 : -1});
  if (!check.Ok()) {
    for (const ConfigError& e : check.errors)
      Check(!e.english.isEmpty() && !e.chinese.isEmpty() && e.line >= 0 && e.column >= 0);
    return 0;
  }
  const ConfigApply::Result applied = ConfigApply::Apply(base, check.changes, "TR-00001");
  Check(applied.Ok());  // the number is shorter than the one it was checked with
  ConfigPlan::Lines(base, applied.image);
  // The export costs more than the rest: one accepted input in eight takes it.
  if (size == 0 || data[0] % 8 != 0) return 0;
  const ConfigCheck again = ConfigReader::Read(ConfigExport::Export(applied.image, {true, "fuzz"}));
  Check(again.Ok());
  Check(ConfigApply::Apply(base, again.changes).image == applied.image);
  return 0;
}
