#include "platform/posix/ProfileRules.h"

#include <vector>
#include <QByteArrayView>
#include <QStringDecoder>

namespace platform::profile::rules {

namespace {

constexpr QByteArrayView kBom("\xEF\xBB\xBF");

// Ctrl-Z counts as a blank: old editors ended text files with it.
bool isBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r') || c == '\x1A';
}

QByteArrayView trimmed(QByteArrayView s) {
    while (!s.isEmpty() && isBlank(s.front())) {
        s = s.sliced(1);
    }
    while (!s.isEmpty() && isBlank(s.back())) {
        s.chop(1);
    }
    return s;
}

QByteArrayView withoutLeadingBlanks(QByteArrayView s) {
    while (!s.isEmpty() && isBlank(s.front())) {
        s = s.sliced(1);
    }
    return s;
}

QByteArrayView unquoted(QByteArrayView s) {
    if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front()) {
        return s.sliced(1, s.size() - 2);
    }
    return s;
}

std::optional<QString> decoded(QByteArrayView bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(bytes);
    if (decoder.hasError()) {
        return std::nullopt;
    }
    return text;
}

// Letter case is ignored in UTF-8 names; bytes that are not UTF-8 must match exactly, since all
// of them would decode to the same replacement character.
bool sameName(QByteArrayView a, QByteArrayView b) {
    if (a == b) {
        return true;
    }
    const std::optional<QString> x = decoded(a);
    const std::optional<QString> y = decoded(b);
    return x && y && x->compare(*y, Qt::CaseInsensitive) == 0;
}

struct Line {
    enum Kind { Blank, Section, Key, Other };
    qsizetype begin = 0;  // offsets into the text without its byte-order mark
    qsizetype end = 0;    // where the line break starts
    qsizetype next = 0;   // where the next line starts
    Kind kind = Blank;
    QByteArrayView name;   // section or key name, trimmed
    QByteArrayView value;  // a key's value as it stands, trimmed, quotes kept
};

Line classify(QByteArrayView text, qsizetype begin, qsizetype end, qsizetype next) {
    Line line;
    line.begin = begin;
    line.end = end;
    line.next = next;
    const QByteArrayView t = trimmed(text.sliced(begin, end - begin));
    if (t.isEmpty()) {
        return line;
    }
    line.kind = Line::Other;
    if (t.front() == '[') {
        const qsizetype close = t.indexOf(']');
        if (close > 0) {
            line.kind = Line::Section;
            line.name = trimmed(t.sliced(1, close - 1));
        }
        return line;
    }
    if (t.front() == ';') {
        return line;
    }
    const qsizetype equals = t.indexOf('=');
    if (equals >= 0) {
        line.kind = Line::Key;
        line.name = trimmed(t.first(equals));
        line.value = trimmed(t.sliced(equals + 1));
    }
    return line;
}

std::vector<Line> parse(QByteArrayView text) {
    std::vector<Line> lines;
    qsizetype begin = 0;
    while (begin < text.size()) {
        qsizetype end = begin;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n') {
            ++end;
        }
        qsizetype next = end;
        if (next < text.size()) {
            next +=
                (text[next] == '\r' && next + 1 < text.size() && text[next + 1] == '\n') ? 2 : 1;
        }
        lines.push_back(classify(text, begin, end, next));
        begin = next;
    }
    return lines;
}

// The lines [first, last) of the first section called `name`, header included.
struct Range {
    size_t first = 0, last = 0;
    bool found = false;
};

Range findSection(const std::vector<Line>& lines, QByteArrayView name) {
    Range range;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind != Line::Section) {
            continue;
        }
        if (range.found) {
            range.last = i;
            return range;
        }
        if (sameName(lines[i].name, name)) {
            range = {i, lines.size(), true};
        }
    }
    return range;
}

std::optional<size_t> findKey(const std::vector<Line>& lines, Range section, QByteArrayView key) {
    for (size_t i = section.first; i < section.last; ++i) {
        if (lines[i].kind == Line::Key && sameName(lines[i].name, key)) {
            return i;
        }
    }
    return std::nullopt;
}

QByteArrayView withoutBom(QByteArrayView content) {
    return content.startsWith(kBom) ? content.sliced(kBom.size()) : content;
}

// The file's own line break: its first one, LF when it has none.
QByteArray lineBreakOf(QByteArrayView text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            return "\n";
        }
        if (text[i] == '\r') {
            return (i + 1 < text.size() && text[i + 1] == '\n') ? "\r\n" : "\r";
        }
    }
    return "\n";
}

}  // namespace

QByteArray readValue(const QByteArray& content, const QByteArray& section, const QByteArray& key,
                     const QByteArray& def) {
    const std::vector<Line> lines = parse(withoutBom(content));
    const Range range = findSection(lines, trimmed(section));
    if (range.found) {
        if (const auto i = findKey(lines, range, trimmed(key))) {
            QByteArrayView value = lines[*i].value;
            if (const qsizetype nul = value.indexOf('\0'); nul >= 0) {
                value = trimmed(value.first(nul));
            }
            return unquoted(value).toByteArray();
        }
    }
    QByteArrayView fallback = def;
    while (fallback.endsWith(' ')) {
        fallback.chop(1);
    }
    return unquoted(fallback).toByteArray();
}

QByteArray applyWrite(const std::optional<QByteArray>& before, const QByteArray& section,
                      const QByteArray& key, const QByteArray& value) {
    const QByteArrayView bom = before && before->startsWith(kBom) ? kBom : QByteArrayView();
    const QByteArrayView text =
        before ? QByteArrayView(*before).sliced(bom.size()) : QByteArrayView();
    const QByteArrayView name = trimmed(section);
    const QByteArrayView stored = withoutLeadingBlanks(value);
    const QByteArray lineBreak = lineBreakOf(text);
    const std::vector<Line> lines = parse(text);
    const Range range = findSection(lines, name);

    // The result is the text up to `at`, the new bytes, and the text from `resume` on.
    qsizetype at = text.size();
    qsizetype resume = text.size();
    QByteArray insert;
    if (!range.found) {
        if (!text.isEmpty() && !text.endsWith('\n') && !text.endsWith('\r')) {
            insert += lineBreak;
        }
        insert += '[' + name.toByteArray() + ']' + lineBreak;
        insert += trimmed(key).toByteArray() + '=' + stored.toByteArray() + lineBreak;
    } else if (const auto i = findKey(lines, range, trimmed(key))) {
        const Line& line = lines[*i];
        if (line.value == stored) {
            return *before;
        }
        // The key keeps its spelling; the line keeps its own line break when it has one.
        at = line.begin;
        resume = line.next;
        insert = line.name.toByteArray() + '=' + stored.toByteArray();
        insert += line.next > line.end ? text.sliced(line.end, line.next - line.end).toByteArray()
                                       : lineBreak;
    } else {
        // A new key follows the section's last non-blank line, so blank lines stay before the
        // next section.
        size_t anchor = range.first;
        for (size_t i = range.first; i < range.last; ++i) {
            if (lines[i].kind != Line::Blank) {
                anchor = i;
            }
        }
        const Line& previous = lines[anchor];
        at = resume = previous.next;
        if (previous.next == previous.end) {
            insert += lineBreak;
        }
        insert += trimmed(key).toByteArray() + '=' + stored.toByteArray() + lineBreak;
    }
    QByteArray after;
    after.reserve(bom.size() + text.size() + insert.size());
    after.append(bom).append(text.first(at)).append(insert).append(text.sliced(resume));
    return after;
}

QString whyNotStorable(const QByteArray& section, const QByteArray& key, const QByteArray& value) {
    const auto hasBreakOrNul = [](const QByteArray& s) {
        return s.contains('\r') || s.contains('\n') || s.contains('\0');
    };
    if (hasBreakOrNul(value)) {
        return QStringLiteral("値に改行か NUL 文字が含まれています。");
    }
    const QByteArrayView s = trimmed(section);
    if (s.isEmpty() || s.contains(']') || hasBreakOrNul(section)) {
        return QStringLiteral("セクション名 \"%1\" は使えません。").arg(QString::fromUtf8(section));
    }
    const QByteArrayView k = trimmed(key);
    if (k.isEmpty() || k.contains('=') || k.front() == ';' || k.front() == '[' ||
        hasBreakOrNul(key)) {
        return QStringLiteral("キー名 \"%1\" は使えません。").arg(QString::fromUtf8(key));
    }
    return {};
}

}  // namespace platform::profile::rules
