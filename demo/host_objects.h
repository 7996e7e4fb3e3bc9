// host_objects.h - the demo host's own data: objects with their values, as a host
// keeps them, read from and written to exchange files through Kiv.dll.
#ifndef DERARDEMO_HOST_OBJECTS_H
#define DERARDEMO_HOST_OBJECTS_H

#include <string>
#include <vector>

struct HostValue {
    std::string group, parentGroup;
    int record = 0;
    std::string name, text, suffix, extra;
};

struct HostObject {
    std::string name, author, version, wellId, date;  // date: "YYYY-MM-DD HH:MM" or "" for now
    std::vector<HostValue> values;
};

// The import side: every object of the file at path whose name is one of names,
// with its values, in file order (an object that occurs twice comes twice). On
// failure returns false with the library's message in error.
bool ReadChosenObjects(const std::string& path, const std::vector<std::string>& names,
                       std::vector<HostObject>& objects, std::string& error);

// The export side: writes objects into the file at path in update mode (the file's
// other objects stay; each name written replaces the objects of that name) and
// commits. A put that the library refuses abandons the whole write, so that the
// file never gets half an object. On failure returns false with the library's
// message in error; the file is then as it was.
bool WriteObjects(const std::string& path, const std::vector<HostObject>& objects, std::string& error);

// An object the host makes up for a name it has no data for: a small deviation
// survey with a nested group, by the given author and well.
HostObject MakeDemoObject(const std::string& name, const std::string& author, const std::string& wellId);

#endif
