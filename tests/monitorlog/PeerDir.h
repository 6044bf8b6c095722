#pragma once
// A folder holding a `curvix` that runs the test viewer with chosen options,
// and what every viewer started from it received.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <map>
#include <vector>

#include <sys/types.h>

namespace qmt::test {

class PeerDir {
public:
    explicit PeerDir(const QString& options = QString()) { setOptions(options); }

    QString path() const { return dir_.path(); }

    void setOptions(const QString& options) {
        QFile script(dir_.filePath("curvix"));
        script.open(QIODevice::WriteOnly | QIODevice::Truncate);
        script.write(QStringLiteral("#!/bin/sh\nexec '%1' --dir '%2' %3\n")
                         .arg(TRENDPEER_FILE, dir_.path(), options)
                         .toUtf8());
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // Frame bodies received, per viewer process, in order.
    std::map<pid_t, std::vector<QByteArray>> frames() const {
        std::map<pid_t, std::vector<QByteArray>> out;
        for (const QString& name : QDir(dir_.path()).entryList({"*.frames"}, QDir::Files)) {
            QFile f(dir_.filePath(name));
            if (!f.open(QIODevice::ReadOnly)) continue;
            auto& list = out[static_cast<pid_t>(name.section('.', 0, 0).toInt())];
            for (const QByteArray& line : f.readAll().split('\n'))
                if (!line.isEmpty()) list.push_back(QByteArray::fromHex(line));
        }
        return out;
    }
    // The records of the copy-data frames of one viewer.
    std::vector<QByteArray> records(pid_t pid) const {
        std::vector<QByteArray> out;
        const auto all = frames();
        const auto it = all.find(pid);
        if (it == all.end()) return out;
        for (const QByteArray& body : it->second)
            if (body.startsWith('C')) out.push_back(body.mid(5));
        return out;
    }

private:
    QTemporaryDir dir_;
};

inline std::uint32_t u32At(const QByteArray& b, int offset) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(b[offset + i]);
    return v;
}

} // namespace qmt::test
