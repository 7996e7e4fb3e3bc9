// The script reader of the Kiv.dll double: one statement a line, quoted texts.
#include "kiv_script.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace kiv_double {
namespace {

// Splits one line into words; quoted words keep their blanks and escapes.
class LineReader {
public:
    explicit LineReader(const std::string& line) : m_line(line) {}

    bool AtEnd()
    {
        SkipBlanks();
        return m_pos >= m_line.size();
    }

    bool Word(std::string& word)
    {
        SkipBlanks();
        word.clear();
        while (m_pos < m_line.size() && !IsBlank(m_line[m_pos]))
            word += m_line[m_pos++];
        return !word.empty();
    }

    bool Quoted(std::string& text, std::string& error)
    {
        SkipBlanks();
        text.clear();
        if (m_pos >= m_line.size() || m_line[m_pos] != '"') {
            error = "expected a quoted text";
            return false;
        }
        ++m_pos;
        while (m_pos < m_line.size() && m_line[m_pos] != '"') {
            char c = m_line[m_pos++];
            if (c == '\\' && m_pos < m_line.size()) {
                char e = m_line[m_pos++];
                c = e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e;
            }
            text += c;
        }
        if (m_pos >= m_line.size()) {
            error = "a quoted text is not closed";
            return false;
        }
        ++m_pos;
        return true;
    }

    bool Number(int& value, std::string& error)
    {
        std::string word;
        char* end = nullptr;
        if (!Word(word) || (value = static_cast<int>(std::strtol(word.c_str(), &end, 10)), *end != '\0')) {
            error = "expected a number";
            return false;
        }
        return true;
    }

private:
    static bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }
    void SkipBlanks()
    {
        while (m_pos < m_line.size() && IsBlank(m_line[m_pos]))
            ++m_pos;
    }

    const std::string& m_line;
    size_t m_pos = 0;
};

bool ParseLine(LineReader& in, Script& script, ScriptFile*& file, std::string& error)
{
    std::string keyword;
    if (!in.Word(keyword) || keyword[0] == '#')
        return true;

    if (keyword == "attach") {
        std::string word;
        if (!in.Word(word) || word != "fail") {
            error = "expected: attach fail \"text\"";
            return false;
        }
        script.attachFails = true;
        if (!in.Quoted(script.attachMessage, error))
            return false;
    } else if (keyword == "file") {
        script.files.emplace_back();
        file = &script.files.back();
        if (!in.Quoted(file->name, error))
            return false;
    } else if (keyword == "open") {
        std::string word;
        if (!in.Word(word) || word != "fail") {
            error = "expected: open fail \"text\"";
            return false;
        }
        file->openFails = true;
        if (!in.Quoted(file->openMessage, error))
            return false;
    } else if (keyword == "object") {
        ScriptObject object;
        if (!in.Quoted(object.name, error) || !in.Quoted(object.author, error) ||
            !in.Quoted(object.version, error) || !in.Quoted(object.wellId, error) ||
            !in.Quoted(object.date, error))
            return false;
        file->objects.push_back(object);
    } else if (keyword == "value") {
        if (file->objects.empty()) {
            error = "a value needs an object before it";
            return false;
        }
        ScriptValue value;
        if (!in.Quoted(value.group, error) || !in.Quoted(value.parent, error) ||
            !in.Quoted(value.name, error) || !in.Quoted(value.extra, error) ||
            !in.Quoted(value.suffix, error) || !in.Quoted(value.value, error) ||
            !in.Number(value.record, error))
            return false;
        file->objects.back().values.push_back(value);
    } else if (keyword == "date") {
        std::string text;
        ScriptDate date;
        if (!in.Quoted(text, error) || !in.Number(date.year, error) || !in.Number(date.month, error) ||
            !in.Number(date.day, error) || !in.Number(date.hour, error) || !in.Number(date.minute, error))
            return false;
        std::string word;
        if (in.Word(word)) {
            if (word != "fail") {
                error = "expected \"fail\" or the end of the line";
                return false;
            }
            date.fails = true;
        }
        script.dates[text] = date;
    } else {
        error = "unknown statement \"" + keyword + "\"";
        return false;
    }
    if (!in.AtEnd()) {
        error = "unexpected text at the end of the line";
        return false;
    }
    return true;
}

bool EndsWithName(const std::string& path, const std::string& name)
{
    if (name.size() > path.size())
        return false;
    size_t start = path.size() - name.size();
    for (size_t i = 0; i < name.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(path[start + i])) !=
            std::tolower(static_cast<unsigned char>(name[i])))
            return false;
    }
    return start == 0 || path[start - 1] == '\\' || path[start - 1] == '/' || path[start - 1] == ':' ||
           name[0] == '\\' || name[0] == '/';
}

}  // namespace

const ScriptFile& Script::FileFor(const std::string& path) const
{
    for (auto it = files.rbegin(); it != files.rend(); ++it) {
        if (EndsWithName(path, it->name))
            return *it;
    }
    return anyFile;
}

bool ParseScript(const std::string& text, Script& script, std::string& error)
{
    script = Script();
    ScriptFile* file = &script.anyFile;
    size_t start = 0;
    for (int lineNumber = 1; start <= text.size(); ++lineNumber) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        LineReader in(line);
        std::string what;
        if (!ParseLine(in, script, file, what)) {
            error = "line " + std::to_string(lineNumber) + ": " + what;
            return false;
        }
        start = end + 1;
    }
    return true;
}

bool ReadDateText(const std::string& text, ScriptDate& date)
{
    int y, mo, d, h, mi;
    char tail;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d%c", &y, &mo, &d, &h, &mi, &tail) != 5 ||
        mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0 || mi > 59) {
        date = ScriptDate();
        return false;
    }
    date.year = y;
    date.month = mo;
    date.day = d;
    date.hour = h;
    date.minute = mi;
    return true;
}

}  // namespace kiv_double
