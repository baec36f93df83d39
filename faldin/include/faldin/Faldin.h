#pragma once

namespace tamsel {
class Dictionary;
class ErrorReporter;
class IniFile;
} // namespace tamsel

namespace faldin {

/// Library start-up: receives the program's error reporter and settings object.
void Init(tamsel::Dictionary& dict, tamsel::ErrorReporter* errors, tamsel::IniFile* settings);
/// Library shut-down.
void Kill(tamsel::Dictionary& dict);

} // namespace faldin
