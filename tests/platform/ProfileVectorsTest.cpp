// Every case of profile-vectors.json, and the cases added below, against the rules on bytes and
// against the file backend.

#include <gtest/gtest.h>
#include <algorithm>
#include <cctype>
#include <optional>
#include <ostream>
#include <vector>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "platform/Profile.h"
#include "platform/posix/ProfileRules.h"
#include "support/FakePlatform.h"

namespace {

struct Case {
    std::string id;
    std::string desc;
    std::optional<QByteArray> before;  // nothing: no file
    bool isRead = true;
    QByteArray section, key;
    QByteArray arg;     // the default of a read, the value of a write
    QByteArray expect;  // the value read, or the whole file after the write
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.id << " (" << c.desc << ")";
}

// The vectors' escapes: \r \n \t \\ \" and \xHH; everything else stands for itself.
QByteArray unescape(const QString& text) {
    const QByteArray in = text.toUtf8();
    QByteArray out;
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] != '\\') {
            out += in[i];
            continue;
        }
        if (++i == in.size()) {
            throw std::runtime_error("escape at the end of " + text.toStdString());
        }
        switch (in[i]) {
            case 'r':
                out += '\r';
                break;
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case '\\':
                out += '\\';
                break;
            case '"':
                out += '"';
                break;
            case 'x': {
                bool ok = false;
                out += char(in.mid(i + 1, 2).toInt(&ok, 16));
                if (!ok || i + 2 >= in.size()) {
                    throw std::runtime_error("bad \\x escape in " + text.toStdString());
                }
                i += 2;
                break;
            }
            default:
                throw std::runtime_error("unknown escape in " + text.toStdString());
        }
    }
    return out;
}

std::vector<Case> recordedCases() {
    QFile file(QStringLiteral(KORONCAM_TEST_DATA "/profile-vectors.json"));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    std::vector<Case> cases;
    for (const QJsonValue& v : QJsonDocument::fromJson(file.readAll())["cases"].toArray()) {
        const QJsonObject o = v.toObject();
        const QJsonObject args = o["args"].toObject();
        Case c;
        c.id = o["id"].toString().toStdString();
        c.desc = o["desc"].toString().toStdString();
        if (!o["file_before"].isNull()) {
            c.before = unescape(o["file_before"].toString());
        }
        c.isRead = o["op"].toString() == u"read";
        c.section = unescape(args["section"].toString());
        c.key = unescape(args["key"].toString());
        // A null default reads as the empty text.
        c.arg = unescape(args[c.isRead ? "default" : "value"].toString());
        c.expect = unescape(o[c.isRead ? "expect" : "expect_file"].toString());
        cases.push_back(c);
    }
    return cases;
}

Case readCase(std::string id, std::string desc, std::optional<QByteArray> before, QByteArray key,
              QByteArray def, QByteArray expect) {
    return {id, desc, before, true, "init", key, def, expect};
}

Case writeCase(std::string id, std::string desc, std::optional<QByteArray> before, QByteArray key,
               QByteArray value, QByteArray expect) {
    return {id, desc, before, false, "init", key, value, expect};
}

const char kNulLine[] = "[init]\npath=ab \0cd\n";
const QByteArray kBom = "\xEF\xBB\xBF";
const QByteArray kLong = QByteArray("0123456789").repeated(30);                    // 300 bytes
const QByteArray kLongUtf8 = QByteArray("\xE3\x81\x93\xE3\x82\x8D").repeated(30);  // 180 bytes

// What the recorded cases leave open.
std::vector<Case> addedCases() {
    return {
        readCase("read-byte-order-mark-skipped", "byte-order mark skipped",
                 kBom + "[init]\r\npath=v\r\n", "path", "D", "v"),
        readCase("read-long-value-read-whole", "long value read whole",
                 "[init]\npath=" + kLong + "\n", "path", "D", kLong),
        readCase("read-long-utf8-value-read-whole", "long UTF-8 value read whole",
                 "[init]\npath=" + kLongUtf8, "path", "D", kLongUtf8),
        readCase("read-value-holding-equals", "value holding '='", "[init]\npath=a=b\n", "path",
                 "D", "a=b"),
        readCase("read-text-after-closing-bracket", "text after ']'", "[init] ; main\npath=v\n",
                 "path", "D", "v"),
        readCase("read-default-in-quotes-trailing-spaces", "default in quotes, trailing spaces", "",
                 "path", "\"DEF\"  ", "DEF"),
        readCase("read-value-ends-at-a-nul-byte", "value ends at a NUL byte",
                 QByteArray(kNulLine, sizeof kNulLine - 1), "path", "D", "ab"),
        {"A08", "non-ASCII names in the other case", "[\xC3\x84]\n\xC3\x89=v\n", true, "\xC3\xA4",
         "\xC3\xA9", "D", "v"},
        readCase("read-bytes-that-are-not-utf8-match-only-themselves",
                 "bytes that are not UTF-8 match only themselves", "[init]\n\xFF=v\n", "\xFE", "D",
                 "D"),
        readCase("read-bytes-that-are-not-utf8-match-themselves",
                 "bytes that are not UTF-8 match themselves", "[init]\n\xFF=v\n", "\xFF", "D", "v"),
        readCase("read-inner-blanks-of-a-value-kept", "inner blanks of a value kept",
                 "[init]\npath = a \t b \n", "path", "D", "a \t b"),
        writeCase("write-bom-kept-on-replace", "BOM kept on replace",
                  kBom + "[init]\r\npath=old\r\n", "path", "new", kBom + "[init]\r\npath=new\r\n"),
        writeCase("write-bom-kept-on-new-section", "BOM kept on new section", kBom + "[a]\nb=1\n",
                  "path", "v", kBom + "[a]\nb=1\n[init]\npath=v\n"),
        writeCase("write-file-of-only-a-bom", "file of only a BOM", kBom, "path", "v",
                  kBom + "[init]\npath=v\n"),
        writeCase("write-long-value-written-whole", "long value written whole", "[init]\npath=x\n",
                  "path", kLong, "[init]\npath=" + kLong + "\n"),
        writeCase("write-cr-only-file-add-key", "CR-only file, add key", "[init]\ra=1\r", "c", "3",
                  "[init]\ra=1\rc=3\r"),
        writeCase("write-lf-file-without-final-newline-add-key",
                  "LF file without final newline, add key", "[init]\na=1", "c", "3",
                  "[init]\na=1\nc=3\n"),
        writeCase("write-header-alone-no-line-break", "header alone, no line break", "[init]", "c",
                  "3", "[init]\nc=3\n"),
        writeCase("write-same-value-no-final-newline", "same value, no final newline",
                  "[init]\r\npath=v", "path", "v", "[init]\r\npath=v"),
        writeCase("write-quoted-value-differs-in-the-file", "quoted value differs in the file",
                  "[init]\npath=\"v\"\n", "path", "v", "[init]\npath=v\n"),
        writeCase("write-mixed-endings-replaced-line-keeps-its-own",
                  "mixed endings: replaced line keeps its own", "[init]\r\npath=old\nb=2\r\n",
                  "path", "new", "[init]\r\npath=new\nb=2\r\n"),
        writeCase("write-indented-key-loses-its-indent", "indented key loses its indent",
                  "[init]\n  Path = old  \n", "path", "new", "[init]\nPath=new\n"),
        writeCase("write-key-only-in-a-later-duplicate-section",
                  "key only in a later duplicate section", "[init]\na=1\n[init]\npath=x\n", "path",
                  "y", "[init]\na=1\npath=y\n[init]\npath=x\n"),
        writeCase("write-new-section-after-trailing-blank-lines",
                  "new section after trailing blank lines", "[a]\r\nb=1\r\n\r\n", "path", "v",
                  "[a]\r\nb=1\r\n\r\n[init]\r\npath=v\r\n"),
        writeCase("write-key-before-any-header-is-not-in-the-section",
                  "key before any header is not in the section", "path=x\n", "path", "v",
                  "path=x\n[init]\npath=v\n"),
        writeCase("write-utf8-value", "UTF-8 value", "[init]\npath=x\n", "path", "/\xE5\x86\x99/",
                  "[init]\npath=/\xE5\x86\x99/\n"),
    };
}

class ProfileCase : public testing::TestWithParam<Case> {};

TEST_P(ProfileCase, RulesOnBytes) {
    const Case& c = GetParam();
    if (c.isRead) {
        EXPECT_EQ(platform::profile::rules::readValue(c.before.value_or(QByteArray()), c.section,
                                                      c.key, c.arg),
                  c.expect);
    } else {
        EXPECT_EQ(platform::profile::rules::applyWrite(c.before, c.section, c.key, c.arg),
                  c.expect);
    }
}

TEST_P(ProfileCase, FileBackend) {
    const Case& c = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("KoronCam.ini"));
    if (c.before) {
        testing_support::writeFile(file, *c.before);
    }
    for (const QByteArray& arg : {c.section, c.key, c.arg}) {
        if (QString::fromUtf8(arg).toUtf8() != arg) {
            GTEST_SKIP() << "the arguments are bytes that are not UTF-8 text";
        }
    }
    const auto text = [](const QByteArray& bytes) { return QString::fromUtf8(bytes); };
    if (c.isRead) {
        EXPECT_EQ(platform::profile::read(file, text(c.section), text(c.key), text(c.arg)).toUtf8(),
                  c.expect);
    } else {
        platform::profile::write(file, text(c.section), text(c.key), text(c.arg));
        EXPECT_EQ(testing_support::readFile(file), c.expect);
        EXPECT_EQ(
            QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{QStringLiteral("KoronCam.ini")})
            << "nothing but the settings file is left in the folder";
    }
}

// A test's name from the case's id: letters and digits, words joined by "_".
std::string caseName(const testing::TestParamInfo<Case>& info) {
    std::string name = info.param.id;
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !std::isalnum(uchar(c)); }, '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Recorded, ProfileCase, testing::ValuesIn(recordedCases()), caseName);
INSTANTIATE_TEST_SUITE_P(Added, ProfileCase, testing::ValuesIn(addedCases()), caseName);

TEST(ProfileVectors, AllRecordedCasesAreLoaded) {
    const std::vector<Case> cases = recordedCases();
    EXPECT_EQ(cases.size(), 75u) << "profile-vectors.json is missing or changed";
    EXPECT_EQ(cases.front().id, "read-file-absent");
    EXPECT_EQ(cases.back().id, "write-order-rewrite-path-afterwards");
}

TEST(ProfileVectors, UnescapeDecodesEveryEscape) {
    EXPECT_EQ(unescape(QStringLiteral(R"(a\r\n\t\\\"\x1A\xE6)")),
              QByteArray("a\r\n\t\\\"\x1A\xE6"));
    EXPECT_THROW(unescape(QStringLiteral(R"(\q)")), std::runtime_error);
    EXPECT_THROW(unescape(QStringLiteral(R"(\xZ1)")), std::runtime_error);
}

}  // namespace
