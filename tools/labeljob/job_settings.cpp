#include "job_settings.h"

#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>

#include "platform/host/world.h"

namespace labeljob {

namespace {

using nlohmann::json;

enum class Kind { kU8, kU32, kI32, kF32, kText, kI16, kPublicU32 };

struct Key {
  const char* name;
  Kind kind;
  std::size_t offset;  // in PrivateDevmode, or in DEVMODEW for dm fields
  double min;
  double max;
  const char* meaning;
  bool printer;  // also allowed in the printer profile
};

#define PRIV(field) offsetof(frame::PrivateDevmode, field)
#define PUB(field) offsetof(winabi::DEVMODEW, field)

const Key kKeys[] = {
    {"printerSettingsSwitch", Kind::kU8, PRIV(printerSettingsSwitch), 0, 255,
     "0: send SPEED and DENSITY from this job; other: keep the printer's own", false},
    {"printSpeed", Kind::kU8, PRIV(printSpeed), 0, 255, "SPEED value", false},
    {"printDensity", Kind::kU8, PRIV(printDensity), 0, 255, "DENSITY value", false},
    {"rasterCompression", Kind::kU8, PRIV(rasterCompression), 0, 255,
     "0 LZSS, 1 run-length, other plain BITMAP", false},
    {"postPrintAction", Kind::kU8, PRIV(postPrintAction), 0, 255,
     "1..5: none, tear, peel/rewind, cutter, partial cutter (by model family)", false},
    {"cutMode", Kind::kU8, PRIV(cutMode), 0, 3,
     "0 every label, 1 each page's copies, 2 end of job, 3 every cutInterval labels", false},
    {"cutInterval", Kind::kU32, PRIV(cutInterval), 0, 4294967295.0,
     "labels between cuts (cut mode 3)", false},
    {"feedOffset", Kind::kI32, PRIV(feedOffset), -2147483648.0, 2147483647.0, "feed offset, 0.1 mm",
     false},
    {"halftoneMode", Kind::kU8, PRIV(halftoneMode), 0, 255,
     "0 threshold, 1 ordered dither, 2 error diffusion", false},
    {"brightness", Kind::kI32, PRIV(brightness), -2147483648.0, 2147483647.0, "tone offset", false},
    {"contrast", Kind::kI32, PRIV(contrast), -2147483648.0, 2147483647.0, "contrast strength",
     false},
    {"horizontalShift", Kind::kI32, PRIV(horizontalShift), -2147483648.0, 2147483647.0,
     "horizontal shift, 0.1 mm", false},
    {"verticalShift", Kind::kI32, PRIV(verticalShift), -2147483648.0, 2147483647.0,
     "vertical shift, 0.1 mm", false},
    {"mirrorSwitch", Kind::kU8, PRIV(mirrorSwitch), 0, 255, "1: DIRECTION 0,1", false},
    {"reversePrintSwitch", Kind::kU8, PRIV(reversePrintSwitch), 0, 255, "1: REVERSE command",
     false},
    {"uprightSwitch", Kind::kU8, PRIV(uprightSwitch), 0, 255,
     "0: the page is turned by 180 degrees", false},
    {"printFileSwitch", Kind::kU8, PRIV(printFileSwitch), 0, 255,
     "non-zero: save the job as a .prn file in printFileFolder", false},
    {"fixedPrintFileNameSwitch", Kind::kU8, PRIV(fixedPrintFileNameSwitch), 0, 255,
     "non-zero: name the .prn after the document only", false},
    {"trimSwitch", Kind::kU8, PRIV(trimSwitch), 0, 255, "1: remove trailing blank rows", false},
    {"cropPrintSwitch", Kind::kU8, PRIV(cropPrintSwitch), 0, 255, "1: crop print", false},
    {"extendedCropSwitch", Kind::kU8, PRIV(extendedCropSwitch), 0, 255,
     "non-zero: extended crop search", false},
    {"formName", Kind::kText, PRIV(formName), 0, 0, "form name of the private record", false},
    {"horizontalScale", Kind::kU32, PRIV(horizontalScale), 0, 4294967295.0,
     "horizontal scale, thousandths (1000 = 100 %)", false},
    {"verticalScale", Kind::kU32, PRIV(verticalScale), 0, 4294967295.0,
     "vertical scale, thousandths", false},
    {"printFileFolder", Kind::kText, PRIV(printFileFolder), 0, 0, "folder of saved .prn files",
     false},
    {"modelName", Kind::kText, PRIV(modelName), 0, 0, "printer model (driver) name", true},
    {"printerResolution", Kind::kU32, PRIV(printerResolution), 1, 2400, "dots per inch", true},
    {"maximumPrintWidth", Kind::kF32, PRIV(maximumPrintWidth), 1, 1000,
     "widest image the head prints, mm", true},
    {"maximumMediaWidth", Kind::kF32, PRIV(maximumMediaWidth), 1, 1000,
     "widest media the model takes, mm", true},
    {"minimumLabelLength", Kind::kF32, PRIV(minimumLabelLength), 0, 10000,
     "shortest label when trimming, mm", true},
    {"dmFormName", Kind::kText, PUB(dmFormName), 0, 0, "form of the job (31 characters at most)",
     false},
    {"dmPaperWidth", Kind::kI16, PUB(dmPaperWidth), -32768, 32767, "paper width, 0.1 mm", false},
    {"dmPaperLength", Kind::kI16, PUB(dmPaperLength), -32768, 32767, "paper length, 0.1 mm", false},
    {"dmOrientation", Kind::kI16, PUB(dmOrientation), 1, 2, "1 portrait, 2 landscape", false},
    {"dmCopies", Kind::kI16, PUB(dmCopies), 1, 32767, "copies of each page", false},
    {"dmCollate", Kind::kI16, PUB(dmCollate), 0, 1, "1: collate copies", false},
    {"dmMediaType", Kind::kPublicU32, PUB(dmMediaType), 0, 4294967295.0,
     "public media type (257, 258, 260 choose post-print actions)", false},
};

#undef PRIV
#undef PUB

const char* const kMediaValueNames[] = {
    "numLabelMediaType",     "numLabelMediaMethod", "mmLabelWidth", "mmLabelLength",
    "mmRightMargin",         "mmLeftMargin",        "mmTopMargin",  "mmBottomMargin",
    "numMediaSensorSetting", "mmGapHeight",         "mmGapOffset",  "mmMarkHeight",
    "mmMarkOffset",
};

const Key* FindKey(const std::string& name) {
  for (const Key& k : kKeys) {
    if (name == k.name) return &k;
  }
  return nullptr;
}

bool SetText(char16_t* field, std::size_t capacity, const json& value, const std::string& key,
             std::string* error) {
  if (!value.is_string()) {
    *error = "key " + key + ": expected a string";
    return false;
  }
  const std::u16string text = host::FromUtf8(value.get<std::string>());
  if (text.size() >= capacity) {
    *error = "key " + key + ": longer than " + std::to_string(capacity - 1) + " characters";
    return false;
  }
  std::memset(field, 0, capacity * sizeof(char16_t));
  std::memcpy(field, text.data(), text.size() * sizeof(char16_t));
  return true;
}

bool SetKey(const Key& key, const json& value, JobSettings* job, std::string* error) {
  const std::string name = key.name;
  const bool isPublic = name.rfind("dm", 0) == 0;
  auto* base = isPublic ? reinterpret_cast<std::uint8_t*>(&job->publicDm)
                        : reinterpret_cast<std::uint8_t*>(&job->record);
  if (key.kind == Kind::kText) {
    const std::size_t capacity = isPublic ? 32 : frame::kPathChars;
    return SetText(reinterpret_cast<char16_t*>(base + key.offset), capacity, value, name, error);
  }
  if (!value.is_number()) {
    *error = "key " + name + ": expected a number";
    return false;
  }
  const double v = value.get<double>();
  if (!(v >= key.min && v <= key.max) || (key.kind != Kind::kF32 && std::floor(v) != v)) {
    const bool whole = key.kind != Kind::kF32;
    auto bound = [whole](double b) {
      return whole ? std::to_string(static_cast<long long>(b)) : json(b).dump();
    };
    *error = "key " + name + ": value " + value.dump() + " is out of range (" + bound(key.min) +
             " to " + bound(key.max) + (whole ? ", whole numbers)" : ")");
    return false;
  }
  std::uint8_t* at = base + key.offset;
  switch (key.kind) {
    case Kind::kU8:
      *at = static_cast<std::uint8_t>(v);
      break;
    case Kind::kU32:
    case Kind::kPublicU32: {
      const auto x = static_cast<std::uint32_t>(v);
      std::memcpy(at, &x, 4);
      break;
    }
    case Kind::kI32: {
      const auto x = static_cast<std::int32_t>(v);
      std::memcpy(at, &x, 4);
      break;
    }
    case Kind::kF32: {
      const auto x = static_cast<float>(v);
      std::memcpy(at, &x, 4);
      break;
    }
    case Kind::kI16: {
      const auto x = static_cast<std::int16_t>(v);
      std::memcpy(at, &x, 2);
      break;
    }
    case Kind::kText:
      break;
  }
  return true;
}

bool ApplyMedia(const json& list, JobSettings* job, std::string* error) {
  if (!list.is_array()) {
    *error = "key media: expected an array of media definitions";
    return false;
  }
  job->printer.media.clear();
  for (const json& entry : list) {
    if (!entry.is_object() || !entry.contains("name") || !entry["name"].is_string()) {
      *error = "key media: every definition needs a \"name\" string";
      return false;
    }
    MediaDefinition def;
    def.name = entry["name"].get<std::string>();
    for (const auto& [k, v] : entry.items()) {
      if (k == "name") continue;
      bool known = false;
      for (const char* n : kMediaValueNames) known = known || k == n;
      if (!known) {
        *error = "key media." + def.name + "." + k + ": not a media definition value";
        return false;
      }
      if (!v.is_number_integer() ||
          v.get<std::int64_t>() < std::numeric_limits<std::int32_t>::min() ||
          v.get<std::int64_t>() > std::numeric_limits<std::uint32_t>::max()) {
        *error = "key media." + def.name + "." + k + ": expected a 32-bit whole number";
        return false;
      }
      def.values[k] = static_cast<std::uint32_t>(v.get<std::int64_t>());
    }
    job->printer.media.push_back(def);
  }
  return true;
}

}  // namespace

JobSettings DefaultJobSettings() {
  JobSettings job;
  std::memset(&job.record, 0, sizeof job.record);
  frame::WriteDevmodeHeader(&job.record);
  std::string ignored;
  const json defaults = {
      {"modelName", "Norvale LT-210 (203 dpi)"},
      {"printerResolution", 203},
      {"maximumPrintWidth", 104.0},
      {"maximumMediaWidth", 112.0},
      {"minimumLabelLength", 10.0},
      {"printerSettingsSwitch", 0},
      {"printSpeed", 4},
      {"printDensity", 8},
      {"rasterCompression", 0},
      {"postPrintAction", 2},
      {"cutMode", 0},
      {"cutInterval", 1},
      {"halftoneMode", 0},
      {"uprightSwitch", 1},
      {"horizontalScale", 1000},
      {"verticalScale", 1000},
      {"formName", "4X6"},
      {"dmFormName", "4X6"},
      {"dmPaperWidth", 1016},
      {"dmPaperLength", 1524},
      {"dmOrientation", 1},
      {"dmCopies", 1},
      {"dmCollate", 0},
  };
  for (const auto& [k, v] : defaults.items()) SetKey(*FindKey(k), v, &job, &ignored);
  job.publicDm.dmSize = sizeof(winabi::DEVMODEW);
  job.publicDm.dmDriverExtra = static_cast<winabi::WORD>(frame::kPrivateDevmodeSize);
  return job;
}

bool ApplyPrinterProfile(const json& profile, JobSettings* job, std::string* error) {
  if (!profile.is_object()) {
    *error = "printer profile: expected a JSON object";
    return false;
  }
  for (const auto& [k, v] : profile.items()) {
    if (k == "printerName") {
      if (!v.is_string() || v.get<std::string>().empty()) {
        *error = "key printerName: expected a non-empty string";
        return false;
      }
      job->printer.printerName = v.get<std::string>();
      continue;
    }
    if (k == "media") {
      if (!ApplyMedia(v, job, error)) return false;
      continue;
    }
    const Key* key = FindKey(k);
    if (key == nullptr || !key->printer) {
      *error = "printer profile: unknown key " + k;
      return false;
    }
    if (!SetKey(*key, v, job, error)) return false;
  }
  return true;
}

bool ApplyJobSettings(const json& settings, JobSettings* job, std::string* error) {
  if (!settings.is_object()) {
    *error = "job settings: expected a JSON object";
    return false;
  }
  for (const auto& [k, v] : settings.items()) {
    const Key* key = FindKey(k);
    if (key == nullptr) {
      *error = "job settings: unknown key " + k;
      return false;
    }
    if (!SetKey(*key, v, job, error)) return false;
  }
  return true;
}

bool ApplySetting(const std::string& assignment, JobSettings* job, std::string* error) {
  const std::size_t eq = assignment.find('=');
  if (eq == std::string::npos || eq == 0) {
    *error = "--set " + assignment + ": expected KEY=VALUE";
    return false;
  }
  const std::string name = assignment.substr(0, eq);
  const std::string text = assignment.substr(eq + 1);
  json value = json::parse(text, nullptr, false);
  if (value.is_discarded()) value = text;  // a bare string
  if (name == "printerName") return ApplyPrinterProfile(json{{name, value}}, job, error);
  const Key* key = FindKey(name);
  if (key == nullptr) {
    *error = "--set: unknown key " + name;
    return false;
  }
  if (key->kind == Kind::kText && !value.is_string()) value = text;
  return SetKey(*key, value, job, error);
}

std::string DescribeKeys() {
  std::string out;
  for (const Key& k : kKeys) {
    out += std::string("  ") + k.name + (k.printer ? " (printer profile too)" : "") + ": " +
           k.meaning + "\n";
  }
  out += "  printerName (printer profile): the printer's name\n";
  out +=
      "  media (printer profile): [{\"name\": FORM, numLabelMediaType, numLabelMediaMethod,\n"
      "    mmLabelWidth, mmLabelLength, mmRightMargin, mmLeftMargin, mmTopMargin,\n"
      "    mmBottomMargin, numMediaSensorSetting, mmGapHeight, mmGapOffset, mmMarkHeight,\n"
      "    mmMarkOffset}] (0.1 mm and plain numbers, as in the registry)\n";
  return out;
}

}  // namespace labeljob
