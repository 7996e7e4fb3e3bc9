// warning_text.h - which overwrite warning a text is, and which object it names.
//
// The screenshot tour saves one picture of each kind and the tests check which rows
// drew which warning: both read the warning's text as a person does.
#ifndef HOSTKIT_WARNING_TEXT_H
#define HOSTKIT_WARNING_TEXT_H

#include <string>

namespace hostkit {

enum class WarningKind { Author, WellId, CurrentData, Unknown };

WarningKind KindOfWarning(const std::string& text);

// "author", "well identifier", "current data" or "unknown".
const char* WarningKindName(WarningKind kind);

// The name on the first line ("Object = <name>"); "" when the text has none.
std::string WarnedObject(const std::string& text);

}  // namespace hostkit

#endif
