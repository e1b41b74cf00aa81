// Writing a key into any file bytes (or into no file). When the entry is storable, the key reads
// back as written, a second write changes nothing, every other key reads as before, and the only
// bytes of the file that change are those of one line.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "Check.h"
#include "ProfileInput.h"
#include "platform/posix/ProfileRules.h"

namespace {

using fuzz::check;
using platform::profile::rules::applyWrite;
using platform::profile::rules::readValue;
using platform::profile::rules::whyNotStorable;

// A default no value can equal: a value read from a file never holds a line break.
const QByteArray kAbsent = "\n";

// Section and key names as they appear in the file, found roughly: the checks below only need
// names worth trying, not the exact rules.
std::vector<std::pair<QByteArray, QByteArray>> namesIn(const QByteArray& file) {
    std::vector<std::pair<QByteArray, QByteArray>> names;
    QByteArray section;
    for (const QByteArray& rawLine : fuzz::linesOf(file)) {
        const QByteArray line = fuzz::trimmedBlanks(rawLine);
        if (line.startsWith('[') && line.contains(']')) {
            section = line.mid(1, line.indexOf(']') - 1);
        } else if (const qsizetype equals = line.indexOf('='); equals > 0) {
            names.emplace_back(section, line.first(equals));
        }
        if (names.size() == 32) {  // enough to catch a shifted section; keeps runs fast
            break;
        }
    }
    return names;
}

// The bytes of `before` that `after` replaced, found as what lies between their common start
// and their common end.
QByteArray replacedBytes(const QByteArray& before, const QByteArray& after) {
    const qsizetype shorter = std::min(before.size(), after.size());
    qsizetype start = 0;
    while (start < shorter && before[start] == after[start]) {
        ++start;
    }
    qsizetype end = 0;
    while (end < shorter - start &&
           before[before.size() - 1 - end] == after[after.size() - 1 - end]) {
        ++end;
    }
    return before.mid(start, before.size() - start - end);
}

void checkWrite(const std::optional<QByteArray>& before, const fuzz::ProfileInput& in) {
    const QByteArray after = applyWrite(before, in.section, in.key, in.text);
    QByteArray stored = in.text;
    while (!stored.isEmpty() && fuzz::isBlank(stored.front())) {
        stored.remove(0, 1);
    }

    // The value reads back as a value in a file is read: trimmed, then one pair of quotes off.
    check(readValue(after, in.section, in.key, kAbsent) ==
              fuzz::unquoted(fuzz::trimmedBlanks(stored)),
          "the written key reads back as written");
    check(applyWrite(after, in.section, in.key, in.text) == after,
          "writing the same value again changes nothing");

    if (!before) {
        const QByteArray expected = '[' + fuzz::trimmedBlanks(in.section) + "]\n" +
                                    fuzz::trimmedBlanks(in.key) + '=' + stored + '\n';
        check(after == expected, "a new file holds the section and the key");
        return;
    }
    const QByteArray bom("\xEF\xBB\xBF");
    check(!before->startsWith(bom) || after.startsWith(bom), "the byte-order mark is kept");
    const QByteArray replaced = replacedBytes(*before, after);
    check(!replaced.contains('\r') && !replaced.contains('\n'),
          "only the bytes of one line are replaced");
    for (const auto& [section, key] : namesIn(*before)) {
        if (fuzz::maySameName(section, in.section) && fuzz::maySameName(key, in.key)) {
            continue;
        }
        check(readValue(after, section, key, kAbsent) == readValue(*before, section, key, kAbsent),
              "another key reads as before");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::ProfileInput in = fuzz::splitProfileInput(data, size);
    if (!whyNotStorable(in.section, in.key, in.text).isEmpty()) {
        // The program refuses such an entry before writing; the rules still must not fail.
        applyWrite(in.file, in.section, in.key, in.text);
        return 0;
    }
    checkWrite(in.file, in);
    if (in.file.isEmpty()) {
        checkWrite(std::nullopt, in);
    }
    return 0;
}
