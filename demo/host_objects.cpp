// host_objects.cpp - the demo host reads and writes objects with their values.
#include "host_objects.h"

#include <algorithm>

#include <kivapi.h>

namespace {

std::string Text(const char* text)
{
    return text != nullptr ? text : "";
}

// One attachment for one read or write; the library is detached again whatever happens.
class Attachment {
public:
    explicit Attachment(std::string& error)
    {
        char* message = nullptr;
        m_attached = KivAttach(&message) != 0;
        if (!m_attached) error = Text(message);
    }
    ~Attachment() { KivDetach(); }
    Attachment(const Attachment&) = delete;
    Attachment& operator=(const Attachment&) = delete;
    bool Attached() const { return m_attached; }

private:
    bool m_attached = false;
};

} // namespace

bool ReadChosenObjects(const std::string& path, const std::vector<std::string>& names,
                       std::vector<HostObject>& objects, std::string& error)
{
    objects.clear();
    Attachment library(error);
    if (!library.Attached()) return false;
    char* message = nullptr;
    if (!KivOpen(path.c_str(), &message, 0)) {
        error = Text(message);
        return false;
    }
    char *name, *author, *version, *wellId, *date;
    while (KivGetNextObject(&name, &author, &version, &wellId, &date)) {
        // The texts last until the next call: copy them first.
        HostObject object{Text(name), Text(author), Text(version), Text(wellId), Text(date), {}};
        if (std::find(names.begin(), names.end(), object.name) == names.end()) continue;
        char *group, *valueName, *extra, *suffix, *valueText, *parent;
        int record = 0;
        while (KivGetNextValue(&group, &valueName, &extra, &suffix, &valueText, &parent, &record))
            object.values.push_back(
                {Text(group), Text(parent), record, Text(valueName), Text(valueText), Text(suffix), Text(extra)});
        objects.push_back(std::move(object));
    }
    return true;
}

bool WriteObjects(const std::string& path, const std::vector<HostObject>& objects, std::string& error)
{
    Attachment library(error);
    if (!library.Attached()) return false;
    char* message = nullptr;
    if (!KivBeginWrite(path.c_str(), &message, KIV_WRITE_UPDATE)) {
        error = Text(message);
        return false;
    }
    for (const HostObject& object : objects) {
        bool put = KivPutObject(object.name.c_str(), object.author.c_str(), object.version.c_str(),
                                object.wellId.c_str(), object.date.c_str(), &message) != 0;
        for (auto value = object.values.begin(); put && value != object.values.end(); ++value)
            put = KivPutValue(value->group.c_str(), value->parentGroup.c_str(), value->record,
                              value->name.c_str(), value->text.c_str(), value->suffix.c_str(),
                              value->extra.c_str(), &message) != 0;
        if (!put) {
            error = Text(message);  // copied before the next call replaces it
            KivAbandonWrite();
            return false;
        }
    }
    if (!KivCommitWrite(&message)) {
        error = Text(message);
        return false;
    }
    return true;
}

HostObject MakeDemoObject(const std::string& name, const std::string& author, const std::string& wellId)
{
    HostObject object{name, author, "1", wellId, "", {}};
    const struct {
        int depth;
        const char* inclination;
    } stations[] = {{0, "0.0"}, {500, "2.5"}, {1000, "6.0"}};
    int record = 1;
    for (const auto& station : stations) {
        object.values.push_back({"Survey", "", record, "MD", std::to_string(station.depth), "m", ""});
        object.values.push_back({"Survey", "", record, "Inclination", station.inclination, "deg", ""});
        ++record;
    }
    object.values.push_back({"Tool", "Survey", 1, "Name", "MWD", "", "written by the demo host"});
    return object;
}
