// Reading a key from any file bytes: the value comes from one line of the file or from the
// default, and names match whatever their letter case and surrounding blanks.
#include <cstddef>
#include <cstdint>

#include <QString>

#include "Check.h"
#include "ProfileInput.h"
#include "platform/posix/ProfileRules.h"

namespace {

using fuzz::check;
using platform::profile::rules::readValue;

bool isUtf8(const QByteArray& s) {
    return QString::fromUtf8(s).toUtf8() == s;
}

QByteArray asciiUpper(QByteArray s) {
    for (char& c : s) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return s;
}

// True when some line of the file is a key that may be `key` and whose value, read by the rules
// (trimmed, cut at a NUL, one pair of quotes off), is `value`.
bool isValueOfSomeLine(const QByteArray& file, const QByteArray& key, const QByteArray& value) {
    for (const QByteArray& line : fuzz::linesOf(file)) {
        const qsizetype equals = line.indexOf('=');
        if (equals < 0 || !fuzz::maySameName(line.first(equals), key)) {
            continue;
        }
        QByteArray candidate = line.sliced(equals + 1);
        if (const qsizetype nul = candidate.indexOf('\0'); nul >= 0) {
            candidate.truncate(nul);
        }
        if (fuzz::unquoted(fuzz::trimmedBlanks(candidate)) == value) {
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::ProfileInput in = fuzz::splitProfileInput(data, size);
    const QByteArray value = readValue(in.file, in.section, in.key, in.text);

    // A default ending in '#' comes back whole, so a second read tells where the value came from.
    const QByteArray marked = in.text + '#';
    const bool fromFile = readValue(in.file, in.section, in.key, marked) == value;
    if (fromFile) {
        check(!value.contains('\r') && !value.contains('\n') && !value.contains('\0'),
              "a value from the file holds a line break or a NUL");
        check(isValueOfSomeLine(in.file, in.key, value), "a value from the file is a key's value");
        // The first of duplicate keys wins, so one more at the end changes nothing.
        check(readValue(in.file + "\n" + in.key + "=other", in.section, in.key, in.text) == value,
              "the first of duplicate keys wins");
    } else {
        QByteArray def = in.text;
        while (def.endsWith(' ')) {
            def.chop(1);
        }
        check(value == fuzz::unquoted(def), "the default less its trailing spaces and quotes");
        check(readValue(in.file, in.section, in.key, marked) == marked, "a marked default");
    }

    check(readValue(in.file, " \t" + in.section + " ", "\x1A" + in.key + "\t", in.text) == value,
          "blanks around the names do not matter");
    if (isUtf8(in.section) && isUtf8(in.key)) {
        check(readValue(in.file, asciiUpper(in.section), asciiUpper(in.key), in.text) == value,
              "letter case of the names does not matter");
    }
    const QByteArray bom("\xEF\xBB\xBF");
    if (!in.file.startsWith(bom)) {
        check(readValue(bom + in.file, in.section, in.key, in.text) == value,
              "a byte-order mark does not matter");
    }
    return 0;
}
