#pragma once
// Profile files (the settings file and .pid files) with the classic semantics:
// section and key names match case-insensitively, a missing key gives the
// caller's default, writing updates a key in place, appends a new key at the end
// of its section and a new section at the end of the file, and every other line
// (comments, unknown keys, order) stays as it was. Saving replaces the file
// atomically, so a failed save never leaves a half-written file.

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace qmt {

class IniFile {
public:
    enum class LoadStatus { Ok, Missing, Unreadable };

    explicit IniFile(QString path);
    const QString& path() const { return path_; }

    // Reads the whole file; a missing file leaves it empty.
    LoadStatus load();
    // The same from bytes already read, and the bytes save() writes.
    void loadData(const QByteArray& data);
    QByteArray data() const;

    bool hasSection(const QString& section) const { return findSection(section) >= 0; }
    std::optional<QString> value(const QString& section, const QString& key) const;
    QString readString(const QString& section, const QString& key, const QString& def) const;
    // A decimal integer with an optional sign, or hexadecimal after "0x"; anything
    // else (or outside 32 bits) gives the default.
    int readInteger(const QString& section, const QString& key, int def) const;

    void writeString(const QString& section, const QString& key, const QString& value);
    void writeInteger(const QString& section, const QString& key, long long value);

    // Writes a temporary file beside the target and renames it over the target.
    bool save(QString* error = nullptr) const;

    QStringList lines() const { return lines_; }

    static std::optional<long long> parseInteger(const QString& text);

private:
    int findSection(const QString& section) const;         // line of "[section]" or -1
    int sectionEnd(int headerLine) const;                  // first line after the section
    int findKey(int headerLine, const QString& key) const; // line of key or -1
    void reindex();


    QString path_;
    QStringList lines_;
    // Lines that are section headers, ascending: lookups then skip the key lines,
    // which keeps reading and writing a long file linear rather than quadratic.
    std::vector<int> headers_;
    bool crlf_ = false;
    bool latin1_ = false; // the file is not UTF-8: keep its bytes as they are
};

} // namespace qmt
