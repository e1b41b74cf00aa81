#pragma once
// The profile (INI) file rules on bytes, without any file: what a read returns and what a write
// leaves. Text is UTF-8; a UTF-8 byte-order mark at the start of the file is skipped and kept.
//
// Reading: lines end at CR, LF or CR LF and are trimmed of blanks (white space and Ctrl-Z).
// "[name]" starts a section (text after "]" is ignored); lines before the first header belong to
// no section. A line starting with ";" is a comment. "key = value" is a key; a line without "="
// is not. Names match without regard to case; only the first of duplicate sections is searched
// and the first of duplicate keys wins. A value ends at a NUL byte, loses the blanks around it
// and one pair of matching quotes (" or ') around the whole of it; "key=" gives the empty value.
// A missing section or key gives the default, less its trailing spaces and its quotes.
//
// Writing changes one line or inserts lines; every other byte stays as it was.

#include <optional>
#include <QByteArray>
#include <QString>

namespace platform::profile::rules {

// The value of `key` in `section` of the file bytes `content`, or the default.
QByteArray readValue(const QByteArray& content, const QByteArray& section, const QByteArray& key,
                     const QByteArray& def);

// The file bytes after storing `value` under `key` in `section`; `before` is the file's content,
// or nothing when there is no file. Returns `before` itself when the value is already there.
QByteArray applyWrite(const std::optional<QByteArray>& before, const QByteArray& section,
                      const QByteArray& key, const QByteArray& value);

// Why the entry cannot be stored as one line that reads back as written (a line break or NUL
// anywhere, "]" in the section, "=" in the key or ";" or "[" at its start, an empty name), or
// the empty text when it can.
QString whyNotStorable(const QByteArray& section, const QByteArray& key, const QByteArray& value);

}  // namespace platform::profile::rules
