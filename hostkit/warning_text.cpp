// warning_text.cpp - tells the three overwrite warnings apart by their wording.
#include "warning_text.h"

namespace hostkit {

WarningKind KindOfWarning(const std::string& text)
{
    if (text.find("\nAuthor = ") != std::string::npos) return WarningKind::Author;
    if (text.find("\nWell Identifier = ") != std::string::npos) return WarningKind::WellId;
    if (text.find("overwriting of current data") != std::string::npos) return WarningKind::CurrentData;
    return WarningKind::Unknown;
}

const char* WarningKindName(WarningKind kind)
{
    switch (kind) {
    case WarningKind::Author: return "author";
    case WarningKind::WellId: return "well identifier";
    case WarningKind::CurrentData: return "current data";
    default: return "unknown";
    }
}

std::string WarnedObject(const std::string& text)
{
    const std::string label = "Object = ";
    if (text.compare(0, label.size(), label) != 0) return std::string();
    return text.substr(label.size(), text.find('\n') - label.size());
}

}  // namespace hostkit
