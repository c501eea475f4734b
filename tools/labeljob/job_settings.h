// The printer profile and job settings of labeljob, with their fixed keys.
//
// Private devmode fields use their lowerCamelCase names (printSpeed,
// uprightSwitch, ...), public devmode fields their DEVMODEW names (dmFormName,
// dmPaperWidth, ...), media definition values their registry value names
// (mmLabelWidth, numLabelMediaType, ...). Values are in the units the records
// hold: 0.1 mm for shifts, offsets and paper sizes, millimetres for the
// printer's widths, thousandths for scales.
#pragma once

#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "frame/private_devmode.h"
#include "platform/abi.h"

namespace labeljob {

struct MediaDefinition {
  std::string name;
  std::map<std::string, std::uint32_t> values;  // registry value name -> DWORD
};

struct PrinterProfile {
  std::string printerName = "Label Printer";
  std::vector<MediaDefinition> media;
};

// Everything one job is printed with.
struct JobSettings {
  PrinterProfile printer;
  frame::PrivateDevmode record;  // zeroed, header written, defaults applied
  winabi::DEVMODEW publicDm{};
};

// The embedded defaults: an LT-family 203-dpi printer, the built-in form
// "4X6", and the settings of a shipping label.
JobSettings DefaultJobSettings();

// Applies a printer profile (printer fields, printer name, media definitions).
bool ApplyPrinterProfile(const nlohmann::json& profile, JobSettings* job, std::string* error);
// Applies job settings (private and public devmode fields).
bool ApplyJobSettings(const nlohmann::json& settings, JobSettings* job, std::string* error);
// Applies one KEY=VALUE (a settings or printer field; the value is JSON or a
// bare string).
bool ApplySetting(const std::string& assignment, JobSettings* job, std::string* error);

// Every key with its meaning, for --help and the README.
std::string DescribeKeys();

}  // namespace labeljob
