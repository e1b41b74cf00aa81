#pragma once
// The input of the profile targets: three texts, each ended by a backslash and one more byte (a
// doubled backslash stands for a backslash), then the file's bytes. A seed reads as:
//   init\
//   path\
//   C:\\pics\
//   [init]
//   path=old

#include <cstddef>
#include <cstdint>
#include <string>

#include <QByteArray>
#include <QList>
#include <QString>
#include <fuzzer/FuzzedDataProvider.h>

namespace fuzz {

struct ProfileInput {
    QByteArray section;
    QByteArray key;
    QByteArray text;  // the default of a read, the value of a write
    QByteArray file;
};

inline QByteArray toBytes(const std::string& s) {
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

inline ProfileInput splitProfileInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider provider(data, size);
    ProfileInput input;
    input.section = toBytes(provider.ConsumeRandomLengthString());
    input.key = toBytes(provider.ConsumeRandomLengthString());
    input.text = toBytes(provider.ConsumeRandomLengthString());
    input.file = toBytes(provider.ConsumeRemainingBytesAsString());
    return input;
}

// Blanks as the profile rules count them: white space and Ctrl-Z.
inline bool isBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r') || c == '\x1A';
}

inline QByteArray trimmedBlanks(QByteArray s) {
    while (!s.isEmpty() && isBlank(s.front())) {
        s.remove(0, 1);
    }
    while (!s.isEmpty() && isBlank(s.back())) {
        s.chop(1);
    }
    return s;
}

// s without one pair of matching quotes around the whole of it.
inline QByteArray unquoted(const QByteArray& s) {
    if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front()) {
        return s.mid(1, s.size() - 2);
    }
    return s;
}

// True unless the names certainly differ: blanks anywhere are ignored and letter case too, and
// bytes that are not UTF-8 all read alike, so this errs on the side of "may be the same".
inline bool maySameName(QByteArray a, QByteArray b) {
    a.removeIf(isBlank);
    b.removeIf(isBlank);
    return QString::fromUtf8(a).compare(QString::fromUtf8(b), Qt::CaseInsensitive) == 0;
}

// The file's lines, without their line breaks.
inline QList<QByteArray> linesOf(const QByteArray& file) {
    return QByteArray(file).replace('\r', '\n').split('\n');
}

}  // namespace fuzz
