#pragma once
// The pictures of the picture folder, kept in memory: read in full once, then followed through
// the program's own changes and the kernel's reports of everyone else's, so that looking at a
// folder of 100,000 pictures costs what looking at one of 10 does. Where changes cannot be
// followed exactly (a file system that does not report them, the kernel's limits reached, reports
// lost), every look reads the folder in full: slower, never different. Some changes are never
// reported (a picture written through a hard link in another folder, or through a shared mapping),
// so a followed folder is also read in full now and then, and no such drift outlives that period.
//
// Names are kept as the bytes the system gives: a name that is not UTF-8 is measured, ordered and
// deleted by its bytes, and decoded only to be shown.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <unordered_map>
#include <vector>
#include <QByteArray>
#include <QHashFunctions>
#include <QString>

namespace platform {
class FolderWatch;
struct FileInfo;
}  // namespace platform

namespace folder {

class PictureIndex {
public:
    struct Picture {
        QString name;  // the bare file name, decoded to be shown
        int64_t size = 0;
        int64_t modifiedNs = 0;
        QByteArray rawName;  // the bare file name as the system gives it: for opening or deleting
    };

    // How often a followed folder is read in full all the same.
    static constexpr std::chrono::milliseconds kFullReadPeriod = std::chrono::minutes(10);

    // The pictures of `path`: a folder path ending with "/", or (as the settings may hold it) a
    // folder path followed by the beginning of every picture name. With `follow` false every
    // refresh reads the folder in full, as the program did before it kept an index; with it, a
    // refresh reads in full once `fullReadPeriod` has passed since the last full reading.
    explicit PictureIndex(const QString& path, bool follow = true,
                          std::chrono::milliseconds fullReadPeriod = kFullReadPeriod);
    ~PictureIndex();
    PictureIndex(const PictureIndex&) = delete;
    PictureIndex& operator=(const PictureIndex&) = delete;

    const QString& path() const { return path_; }
    // The folder the pictures lie in, ending with "/" unless empty; a picture's full name is this
    // followed by its name.
    const QString& folder() const { return folder_; }

    // Brings the pictures up to date with the folder: applies the changes reported since the last
    // look, or reads the folder in full when it is not followed or changes may have been missed.
    // Throws platform::Error when the folder cannot be read.
    void refresh();

    // As of the last refresh and the program's own changes since:
    // the sum of the pictures' lengths;
    int64_t total() const { return total_; }
    // the picture a clean-up deletes first: the earliest modified, among equal times a BMP
    // picture before a PNG picture, then the first in listing order; empty when there is none.
    std::optional<Picture> oldest() const;
    // every picture in that order (empty while the folder is not followed).
    std::vector<Picture> oldestFirst() const;

    // A file that the program itself has written or deleted, by its full name's bytes: measured
    // again at once when it is a picture of this folder. Never throws: after a failure the next
    // refresh reads the folder in full.
    void noteChanged(const QByteArray& encodedFullName) noexcept;

    // True while the folder's changes are followed.
    bool following() const;
    // Grows with every change to the pictures kept: equal counts, the same pictures.
    uint64_t changes() const { return changes_; }
    // How many times the folder has been read in full.
    int fullReads() const { return fullReads_; }

private:
    struct Entry {
        QString name;  // decoded, for the listing order
        int64_t size = 0;
        int64_t modifiedNs = 0;
        size_t pattern = 0;
    };
    using Node = std::pair<const QByteArray, Entry>;
    struct OlderFirst {
        bool operator()(const Node* a, const Node* b) const;
    };
    struct NameHash {
        size_t operator()(const QByteArray& name) const { return qHash(name); }
    };

    bool fullReadDue() const;
    void readInFull();
    void indexInFull();
    void scanInFull();
    void applyChanges();
    void remeasure(const QByteArray& rawName);
    int patternOf(const QString& name) const;
    void add(const platform::FileInfo& file, size_t pattern);
    void erase(const QByteArray& rawName);
    void clear();

    QString path_;
    QString folder_;
    QByteArray encodedFolder_;
    std::vector<QString> patterns_;  // BMP first, then PNG
    bool follow_ = true;
    std::chrono::milliseconds fullReadPeriod_;
    std::chrono::steady_clock::time_point lastFullRead_;
    std::unique_ptr<platform::FolderWatch> watch_;
    int fullReads_ = 0;

    int64_t total_ = 0;
    uint64_t changes_ = 0;
    // While followed: every picture, by name and in deletion order.
    std::unordered_map<QByteArray, Entry, NameHash> byName_;
    std::set<const Node*, OlderFirst> byAge_;
    // While not followed: the oldest picture of the last full reading.
    std::optional<Picture> scannedOldest_;
    size_t scannedPattern_ = 0;
};

// The index of the picture folder `path`, one for the process, read by the clean-up, the gauge
// and the start switch alike. The first use builds it; a use with another `path` (the options
// dialog changed the folder) replaces it with a new one.
PictureIndex& pictureIndex(const QString& path);

}  // namespace folder
