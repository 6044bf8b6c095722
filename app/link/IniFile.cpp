#include "link/IniFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <algorithm>
#include <cctype>
#include <cstdint>

#include <utility>

namespace qmt {
namespace {

// Views, not copies: every lookup scans the file's lines.
bool isSectionHeader(QStringView line, QStringView* name = nullptr) {
    const QStringView t = line.trimmed();
    if (!t.startsWith(QLatin1Char('[')) || !t.endsWith(QLatin1Char(']'))) return false;
    if (name) *name = t.mid(1, t.size() - 2).trimmed();
    return true;
}

bool isComment(QStringView trimmed) {
    return trimmed.startsWith(QLatin1Char(';')) || trimmed.startsWith(QLatin1Char('#'));
}

// Splits "key = value"; false for lines that are not assignments.
bool splitAssignment(QStringView line, QStringView* key, QStringView* value) {
    const QStringView t = line.trimmed();
    if (t.isEmpty() || isComment(t)) return false;
    const auto eq = t.indexOf(QLatin1Char('='));
    if (eq <= 0) return false;
    if (key) *key = t.left(eq).trimmed();
    if (value) *value = t.mid(eq + 1).trimmed();
    return true;
}

} // namespace

IniFile::IniFile(QString path) : path_(std::move(path)) {}

IniFile::LoadStatus IniFile::load() {
    loadData(QByteArray());
    QFile file(path_);
    if (!file.exists()) return LoadStatus::Missing;
    if (!file.open(QIODevice::ReadOnly)) return LoadStatus::Unreadable;
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return LoadStatus::Unreadable;
    }
    loadData(data);
    return LoadStatus::Ok;
}

void IniFile::loadData(const QByteArray& data) {
    lines_.clear();
    crlf_ = data.contains("\r\n");
    // Text that is not UTF-8 (a comment typed in another code page) is carried
    // byte for byte, so a save does not turn it into replacement characters.
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(data);
    latin1_ = utf8.hasError();
    if (latin1_) text = QString::fromLatin1(data);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    lines_ = text.split(QLatin1Char('\n'));
    // A final line terminator does not make an extra empty line.
    if (!lines_.isEmpty() && lines_.last().isEmpty()) lines_.removeLast();
    reindex();
}

int IniFile::findSection(const QString& section) const {
    QStringView name;
    for (int i : headers_) {
        isSectionHeader(lines_[i], &name);
        if (name.compare(section, Qt::CaseInsensitive) == 0) return i;
    }
    return -1;
}

int IniFile::sectionEnd(int headerLine) const {
    const auto next = std::upper_bound(headers_.begin(), headers_.end(), headerLine);
    return next == headers_.end() ? static_cast<int>(lines_.size()) : *next;
}

void IniFile::reindex() {
    headers_.clear();
    for (int i = 0; i < lines_.size(); ++i)
        if (isSectionHeader(lines_[i])) headers_.push_back(i);
}

int IniFile::findKey(int headerLine, const QString& key) const {
    const int end = sectionEnd(headerLine);
    QStringView k;
    for (int i = headerLine + 1; i < end; ++i) {
        if (splitAssignment(lines_[i], &k, nullptr) && k.compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

std::optional<QString> IniFile::value(const QString& section, const QString& key) const {
    const int header = findSection(section);
    if (header < 0) return std::nullopt;
    const int line = findKey(header, key);
    if (line < 0) return std::nullopt;
    QStringView v;
    splitAssignment(lines_[line], nullptr, &v);
    return v.toString();
}

QString IniFile::readString(const QString& section, const QString& key, const QString& def) const {
    return value(section, key).value_or(def);
}

std::optional<long long> IniFile::parseInteger(const QString& text) {
    QString t = text.trimmed();
    bool negative = false;
    if (t.startsWith(QLatin1Char('-')) || t.startsWith(QLatin1Char('+'))) {
        negative = t.startsWith(QLatin1Char('-'));
        t.remove(0, 1);
    }
    int base = 10;
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        base = 16;
        t.remove(0, 2);
    }
    if (t.isEmpty()) return std::nullopt;
    for (QChar c : t) {
        const bool ok = base == 16 ? c.unicode() < 128 && isxdigit(c.toLatin1())
                                   : (c >= QLatin1Char('0') && c <= QLatin1Char('9'));
        if (!ok) return std::nullopt;
    }
    bool ok = false;
    const long long magnitude = t.toLongLong(&ok, base);
    if (!ok) return std::nullopt;
    return negative ? -magnitude : magnitude;
}

int IniFile::readInteger(const QString& section, const QString& key, int def) const {
    const auto text = value(section, key);
    if (!text) return def;
    const auto number = parseInteger(*text);
    // Wider than 32 bits is not an integer for a profile file either.
    if (!number || *number < INT32_MIN || *number > UINT32_MAX) return def;
    return static_cast<int>(static_cast<uint32_t>(*number));
}

void IniFile::writeString(const QString& section, const QString& key, const QString& value) {
    const QString line = key + QLatin1Char('=') + value;
    int header = findSection(section);
    if (header < 0) {
        headers_.push_back(static_cast<int>(lines_.size()));
        lines_.append(QLatin1Char('[') + section + QLatin1Char(']'));
        lines_.append(line);
    } else if (const int existing = findKey(header, key); existing >= 0) {
        lines_[existing] = line;
    } else {
        // After the last non-blank line of the section, so blank separators stay below.
        int insertAt = sectionEnd(header);
        while (insertAt > header + 1 && lines_[insertAt - 1].trimmed().isEmpty())
            --insertAt;
        lines_.insert(insertAt, line);
        for (int& h : headers_)
            if (h >= insertAt) ++h;
    }
    // A key such as "[a" with the value "b]" writes a line that reads as a header.
    if (isSectionHeader(line)) reindex();
}

void IniFile::writeInteger(const QString& section, const QString& key, long long value) {
    writeString(section, key, QString::number(value));
}

QByteArray IniFile::data() const {
    const QString eol = crlf_ ? QStringLiteral("\r\n") : QStringLiteral("\n");
    if (lines_.isEmpty()) return QByteArray();
    const QString text = lines_.join(eol) + eol;
    return latin1_ ? text.toLatin1() : text.toUtf8();
}

bool IniFile::save(QString* error) const {
    const QByteArray data = this->data();
    QSaveFile file(path_);
    // Write beside the target and rename: the old file stays whole on any failure.
    file.setDirectWriteFallback(false);
    // Unbuffered: a short write (full disk, file size limit) shows in write()'s count;
    // through the buffer it would be lost at commit and a truncated file renamed in.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) ||
        file.write(data) != data.size() || !file.commit()) {
        if (error) *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace qmt
