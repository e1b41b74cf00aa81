#include "platform/Files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Errors.h"
#include "platform/SystemError.h"

namespace platform {
namespace {

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::u32string folded(const QString& text) {
    const QList<uint> ucs4 = text.toCaseFolded().toUcs4();
    return std::u32string(ucs4.begin(), ucs4.end());
}

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// `pattern` already case-folded; `fold` folds a character of `name`. Greedy matching with one
// back-tracking point, the last '*': linear for patterns with one star, as the picture patterns
// are.
template <typename Char, typename Fold>
bool matchFolded(std::basic_string_view<Char> name, std::basic_string_view<Char> pattern,
                 Fold fold) {
    constexpr size_t kNone = std::basic_string_view<Char>::npos;
    size_t n = 0;
    size_t p = 0;
    size_t starP = kNone;
    size_t starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == Char('*')) {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == Char('?') || pattern[p] == fold(name[n]))) {
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

bool matchWide(std::u32string_view name, std::u32string_view pattern) {
    return matchFolded(name, pattern, [](char32_t c) { return c; });
}

// A name read from the folder (raw bytes, UTF-8). All-ASCII names, the usual case, are matched
// byte by byte without copying; others are decoded and case-folded once, when first needed.
class FolderName {
public:
    explicit FolderName(std::string_view raw) : raw_(raw), ascii_(isAscii(raw)) {}
    std::string_view raw() const { return raw_; }
    bool ascii() const { return ascii_; }
    const std::u32string& wide() const {
        if (!wideReady_) {
            wide_ = folded(QFile::decodeName(QByteArray(raw_.data(), qsizetype(raw_.size()))));
            wideReady_ = true;
        }
        return wide_;
    }

private:
    std::string_view raw_;
    bool ascii_;
    mutable bool wideReady_ = false;
    mutable std::u32string wide_;
};

// The key a listing is sorted by: the case-folded name in UTF-8 (byte order is code point order).
std::string sortKey(const QString& name) {
    return name.toCaseFolded().toUtf8().toStdString();
}

// A pattern prepared once per listing.
class Pattern {
public:
    explicit Pattern(const QString& pattern) : wide_(folded(pattern)) {
        const std::string utf8 = pattern.toUtf8().toStdString();
        ascii_ = isAscii(utf8);
        if (ascii_) {
            std::transform(utf8.begin(), utf8.end(), std::back_inserter(narrow_), lowerAscii);
        }
    }

    bool matches(const FolderName& name) const {
        if (name.ascii() && ascii_) {
            return matchFolded(name.raw(), std::string_view(narrow_), lowerAscii);
        }
        return matchWide(name.wide(), wide_);
    }

private:
    bool ascii_ = false;
    std::string narrow_;
    std::u32string wide_;
};

Error readError(const QString& folder, int error) {
    return Error(
        QStringLiteral("フォルダ「%1」を読み取れません: %2").arg(folder, describeError(error)));
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

std::function<void(const QByteArray&)>& ownChangeListener() {
    static std::function<void(const QByteArray&)> listener;
    return listener;
}

void tellOwnChange(const QByteArray& encodedPath) {
    if (ownChangeListener()) {
        ownChangeListener()(encodedPath);
    }
}

// `folder` (ending with "/" unless empty) and a name's bytes: a path for the system's calls.
QByteArray encodedPath(const QString& folder, const QByteArray& rawName) {
    return (folder.isEmpty() ? QByteArrayLiteral("./") : QFile::encodeName(folder)) + rawName;
}

// Why a file could not be deleted. The shared wording of a missing entry speaks of a folder.
QString fileRemovalReason(int error) {
    if (error == ENOENT) {
        return QStringLiteral("ファイルがありません。(%1)")
            .arg(QString::fromLocal8Bit(std::strerror(error)));
    }
    return describeError(error);
}

}  // namespace

FileHooks& fileHooks() {
    static FileHooks hooks;
    return hooks;
}

bool wildcardMatch(const QString& name, const QString& pattern) {
    return matchWide(folded(name), folded(pattern));
}

std::vector<FileInfo> listFiles(const QString& folder, const QString& pattern) {
    struct Found {
        std::string key;
        FileInfo info;
    };
    std::vector<Found> found;
    forEachFile(folder, {pattern}, [&](size_t, const FileInfo& file) {
        found.push_back({sortKey(file.name), file});
    });
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return a.key != b.key ? a.key < b.key : a.info.rawName < b.info.rawName;
    });
    std::vector<FileInfo> files;
    files.reserve(found.size());
    for (Found& f : found) {
        files.push_back(std::move(f.info));
    }
    return files;
}

bool listedBefore(const QString& a, const QString& b) {
    const std::string keyA = sortKey(a);
    const std::string keyB = sortKey(b);
    return keyA != keyB ? keyA < keyB : a < b;
}

void forEachFile(const QString& folder, const std::vector<QString>& patterns,
                 const std::function<void(size_t pattern, const FileInfo& file)>& visit) {
    const QByteArray encoded = QFile::encodeName(folder.isEmpty() ? QStringLiteral(".") : folder);
    const int fd = ::open(encoded.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return;
        }
        throw readError(folder, errno);
    }
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(fd), &::closedir);
    if (!dir) {
        const int error = errno;
        ::close(fd);
        throw readError(folder, error);
    }

    const std::vector<Pattern> wanted(patterns.begin(), patterns.end());
    std::vector<size_t> matching;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir.get());
        if (entry == nullptr) {
            if (errno != 0) {
                throw readError(folder, errno);
            }
            return;
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
        const FolderName folderName(name);
        matching.clear();
        for (size_t i = 0; i < wanted.size(); ++i) {
            if (wanted[i].matches(folderName)) {
                matching.push_back(i);
            }
        }
        if (matching.empty()) {
            continue;
        }
        FileInfo file{QFile::decodeName(entry->d_name), 0, 0, QByteArray(entry->d_name)};
        if (fileHooks().beforeMeasure) {
            fileHooks().beforeMeasure(folder, file.name);
        }
        struct stat st {};
        if (::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT) {
                continue;  // deleted since it was read
            }
            throw readError(folder, errno);
        }
        if (!S_ISREG(st.st_mode)) {
            continue;
        }
        file.size = st.st_size;
        file.modifiedNs = int64_t(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
        for (const size_t i : matching) {
            visit(i, file);
        }
    }
}

std::optional<FileInfo> measureFile(const QString& folder, const QByteArray& rawName) {
    if (rawName.isEmpty() || rawName.startsWith('.')) {
        return std::nullopt;
    }
    const QByteArray path = encodedPath(folder, rawName);
    struct stat st {};
    if (::fstatat(AT_FDCWD, path.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return std::nullopt;
        }
        throw readError(folder, errno);
    }
    if (!S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    return FileInfo{QFile::decodeName(rawName), st.st_size,
                    int64_t(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec, rawName};
}

void setOwnChangeListener(std::function<void(const QByteArray& encodedPath)> listener) {
    ownChangeListener() = std::move(listener);
}

void reportOwnChange(const QString& path) {
    tellOwnChange(QFile::encodeName(path));
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

namespace {

// Deletes the file at `path`'s bytes; a failure is told with `reason`.
void removeEncoded(const QByteArray& path, QString (*reason)(int)) {
    int error = 0;
    if (fileHooks().removeError) {
        error = fileHooks().removeError(QFile::decodeName(path));
    }
    if (error == 0 && ::unlink(path.constData()) != 0) {
        error = errno;
    }
    if (error != 0) {
        throw Error(reason(error));
    }
    tellOwnChange(path);
}

}  // namespace

void removeFile(const QString& path) {
    removeEncoded(QFile::encodeName(path), describeError);
}

void removeFile(const QString& folder, const QByteArray& rawName) {
    removeEncoded(encodedPath(folder, rawName), fileRemovalReason);
}

}  // namespace platform
