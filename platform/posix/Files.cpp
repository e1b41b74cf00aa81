#include "platform/Files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Errors.h"

namespace platform {
namespace {

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string asciiLower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lower;
}

std::u32string folded(const QString& text) {
    const QList<uint> ucs4 = text.toCaseFolded().toUcs4();
    return std::u32string(ucs4.begin(), ucs4.end());
}

// Both arguments already case-folded. Greedy matching with one back-tracking point, the last '*':
// linear for patterns with one star, as the picture patterns are.
template <typename Char>
bool matchFolded(std::basic_string_view<Char> name, std::basic_string_view<Char> pattern) {
    constexpr size_t kNone = std::basic_string_view<Char>::npos;
    size_t n = 0;
    size_t p = 0;
    size_t starP = kNone;
    size_t starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == Char('*')) {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == Char('?') || pattern[p] == name[n])) {
            ++n;
            ++p;
        } else if (starP != kNone) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == Char('*')) {
        ++p;
    }
    return p == pattern.size();
}

// A pattern prepared once per listing. Names are raw bytes from the file system (UTF-8); the
// common all-ASCII case is matched on bytes, anything else on case-folded code points.
class Pattern {
public:
    explicit Pattern(const QString& pattern) : wide_(folded(pattern)) {
        const QByteArray utf8 = pattern.toUtf8();
        ascii_ = isAscii(utf8.toStdString());
        if (ascii_) {
            narrow_ = asciiLower(utf8.toStdString());
        }
    }

    // On a match, `key` receives the name's case-folded sort key.
    bool matches(std::string_view name, std::string* key) const {
        if (ascii_ && isAscii(name)) {
            *key = asciiLower(name);
            return matchFolded<char>(*key, narrow_);
        }
        const QString decoded = QFile::decodeName(QByteArray(name.data(), qsizetype(name.size())));
        if (!matchFolded<char32_t>(folded(decoded), wide_)) {
            return false;
        }
        *key = decoded.toCaseFolded().toUtf8().toStdString();
        return true;
    }

private:
    bool ascii_ = false;
    std::string narrow_;
    std::u32string wide_;
};

QString errorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

Error readError(const QString& folder, int error) {
    return Error(
        QStringLiteral("フォルダ「%1」を読み取れません: %2").arg(folder, errorText(error)));
}

const char* multiarchTriplet() {
#if defined(__x86_64__) && defined(__ILP32__)
    return "x86_64-linux-gnux32";
#elif defined(__x86_64__)
    return "x86_64-linux-gnu";
#elif defined(__aarch64__)
    return "aarch64-linux-gnu";
#elif defined(__i386__)
    return "i386-linux-gnu";
#elif defined(__arm__) && defined(__ARM_PCS_VFP)
    return "arm-linux-gnueabihf";
#elif defined(__arm__)
    return "arm-linux-gnueabi";
#elif defined(__powerpc64__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    return "powerpc64le-linux-gnu";
#elif defined(__s390x__)
    return "s390x-linux-gnu";
#elif defined(__riscv) && __riscv_xlen == 64
    return "riscv64-linux-gnu";
#else
    return nullptr;
#endif
}

bool isDirectory(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

FileHooks& fileHooks() {
    static FileHooks hooks;
    return hooks;
}

bool wildcardMatch(const QString& name, const QString& pattern) {
    return matchFolded<char32_t>(folded(name), folded(pattern));
}

std::vector<FileInfo> listFiles(const QString& folder, const QString& pattern) {
    const QByteArray encoded = QFile::encodeName(folder.isEmpty() ? QStringLiteral(".") : folder);
    const int fd = ::open(encoded.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return {};
        }
        throw readError(folder, errno);
    }
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(fd), &::closedir);
    if (!dir) {
        const int error = errno;
        ::close(fd);
        throw readError(folder, error);
    }

    const Pattern wanted(pattern);
    struct Found {
        std::string key;
        FileInfo info;
    };
    std::vector<Found> found;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir.get());
        if (entry == nullptr) {
            if (errno != 0) {
                throw readError(folder, errno);
            }
            break;
        }
        const std::string_view name(entry->d_name);
        // Hidden files (and "." and "..") are not pictures; neither are folders, symbolic links
        // or devices. A link's target may lie outside the folder, so counting it would mis-state
        // what the folder occupies, and deleting it would free nothing.
        if (name.empty() || name.front() == '.') {
            continue;
        }
        if (entry->d_type != DT_REG && entry->d_type != DT_UNKNOWN) {
            continue;
        }
        std::string key;
        if (!wanted.matches(name, &key)) {
            continue;
        }
        QString decoded = QFile::decodeName(entry->d_name);
        if (fileHooks().beforeMeasure) {
            fileHooks().beforeMeasure(folder, decoded);
        }
        struct stat st {};
        if (::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT) {
                continue;  // deleted since it was listed
            }
            throw readError(folder, errno);
        }
        if (!S_ISREG(st.st_mode)) {
            continue;
        }
        const int64_t ns = int64_t(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
        found.push_back({std::move(key), FileInfo{std::move(decoded), int64_t(st.st_size), ns}});
    }

    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        if (a.key != b.key) {
            return a.key < b.key;
        }
        return a.info.name < b.info.name;  // names differing only in case: a fixed order
    });
    std::vector<FileInfo> files;
    files.reserve(found.size());
    for (Found& f : found) {
        files.push_back(std::move(f.info));
    }
    return files;
}

bool isPlainFile(const QString& path) {
    // Unlike a listing, this follows symbolic links: callers ask whether they can open the file
    // (a shared library is often installed as a link to its versioned name).
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    if (name.isEmpty() || name.startsWith(QLatin1Char('.'))) {
        return false;
    }
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

QString systemDirectory() {
    static const QString directory = [] {
        QStringList candidates;
        if (const char* triplet = multiarchTriplet()) {
            candidates << QStringLiteral("/usr/lib/") + QLatin1String(triplet);
        }
        candidates << QStringLiteral("/usr/lib64") << QStringLiteral("/usr/lib")
                   << QStringLiteral("/lib");
        for (const QString& candidate : candidates) {
            if (isDirectory(candidate)) {
                return candidate;
            }
        }
        return QStringLiteral("/usr/lib");
    }();
    return directory;
}

bool removeFile(const QString& path, QString* reason) {
    int error = 0;
    if (fileHooks().removeError) {
        error = fileHooks().removeError(path);
    }
    if (error == 0 && ::unlink(QFile::encodeName(path).constData()) != 0) {
        error = errno;
    }
    if (error == 0) {
        return true;
    }
    if (reason != nullptr) {
        *reason = errorText(error);
    }
    return false;
}

}  // namespace platform
