#include "folder/PictureIndex.h"

#include <QFile>

#include "folder/PictureFolder.h"
#include "platform/FolderWatch.h"
#include "platform/Files.h"

namespace folder {
namespace {

// The scan's order of pictures: time, then pattern (BMP before PNG), then listing order, and
// names that decode alike (not UTF-8) by their bytes.
bool olderThan(int64_t timeA, size_t patternA, const QString& nameA, const QByteArray& rawA,
               int64_t timeB, size_t patternB, const QString& nameB, const QByteArray& rawB) {
    if (timeA != timeB) {
        return timeA < timeB;
    }
    if (patternA != patternB) {
        return patternA < patternB;
    }
    if (platform::listedBefore(nameA, nameB)) {
        return true;
    }
    return !platform::listedBefore(nameB, nameA) && rawA < rawB;
}

}  // namespace

bool PictureIndex::OlderFirst::operator()(const Node* a, const Node* b) const {
    return olderThan(a->second.modifiedNs, a->second.pattern, a->second.name, a->first,
                     b->second.modifiedNs, b->second.pattern, b->second.name, b->first);
}

PictureIndex::PictureIndex(const QString& path, bool follow,
                           std::chrono::milliseconds fullReadPeriod)
    : path_(path), follow_(follow), fullReadPeriod_(fullReadPeriod) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    folder_ = path.left(slash + 1);
    encodedFolder_ = QFile::encodeName(folder_);
    const QString prefix = path.mid(slash + 1);
    patterns_ = {prefix + kBmpPattern, prefix + kPngPattern};
}

PictureIndex::~PictureIndex() = default;

bool PictureIndex::following() const {
    return watch_ && watch_->following();
}

bool PictureIndex::fullReadDue() const {
    return std::chrono::steady_clock::now() - lastFullRead_ >= fullReadPeriod_;
}

void PictureIndex::refresh() {
    if (following() && !fullReadDue()) {
        applyChanges();
        if (following()) {
            return;
        }
    }
    // Watch first, then read: a change made during the reading is reported afterwards.
    watch_.reset();
    if (follow_) {
        watch_ = std::make_unique<platform::FolderWatch>(folder_);
    }
    readInFull();
}

void PictureIndex::applyChanges() {
    try {
        const std::optional<std::vector<QByteArray>> names = watch_->changes();
        if (!names) {
            return;  // changes were lost: no longer following
        }
        // Each name is measured now rather than trusted from its report: the last report of a
        // name may be older than its state, and measuring twice gives the same answer.
        for (const QByteArray& name : *names) {
            remeasure(name);
        }
    } catch (...) {
        watch_.reset();  // half applied: the next refresh reads in full
        throw;
    }
}

void PictureIndex::readInFull() {
    ++fullReads_;
    lastFullRead_ = std::chrono::steady_clock::now();
    try {
        if (following()) {
            indexInFull();
        } else {
            scanInFull();
        }
    } catch (...) {
        watch_.reset();  // the next refresh reads in full again
        clear();
        throw;
    }
}

void PictureIndex::indexInFull() {
    clear();
    platform::forEachFile(folder_, patterns_, [&](size_t pattern, const platform::FileInfo& file) {
        add(file, pattern);
    });
}

// The reading the program made before every decision before it kept an index: the total and the
// oldest picture, nothing kept.
void PictureIndex::scanInFull() {
    clear();
    platform::forEachFile(folder_, patterns_, [&](size_t pattern, const platform::FileInfo& file) {
        total_ += file.size;
        if (!scannedOldest_ ||
            olderThan(file.modifiedNs, pattern, file.name, file.rawName, scannedOldest_->modifiedNs,
                      scannedPattern_, scannedOldest_->name, scannedOldest_->rawName)) {
            scannedOldest_ = Picture{file.name, file.size, file.modifiedNs, file.rawName};
            scannedPattern_ = pattern;
        }
    });
}

int PictureIndex::patternOf(const QString& name) const {
    if (name.startsWith(QLatin1Char('.'))) {
        return -1;  // hidden, as the program's own temporary files are
    }
    for (size_t i = 0; i < patterns_.size(); ++i) {
        if (platform::wildcardMatch(name, patterns_[i])) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void PictureIndex::remeasure(const QByteArray& rawName) {
    const int pattern = patternOf(QFile::decodeName(rawName));
    if (pattern < 0) {
        return;
    }
    erase(rawName);
    if (const std::optional<platform::FileInfo> file = platform::measureFile(folder_, rawName)) {
        add(*file, static_cast<size_t>(pattern));
    }
}

void PictureIndex::noteChanged(const QByteArray& encodedFullName) noexcept {
    if (!following()) {
        return;  // the next refresh reads in full anyway
    }
    const qsizetype slash = encodedFullName.lastIndexOf('/');
    if (encodedFullName.left(slash + 1) != encodedFolder_) {
        return;
    }
    try {
        // Reports pending for others' changes first, so that a long run of the program's own
        // changes (a batch conversion) never lets the kernel's queue overflow.
        applyChanges();
        if (following()) {
            remeasure(encodedFullName.mid(slash + 1));
        }
    } catch (...) {
        watch_.reset();
    }
}

void PictureIndex::add(const platform::FileInfo& file, size_t pattern) {
    const auto [it, added] =
        byName_.try_emplace(file.rawName, Entry{file.name, file.size, file.modifiedNs, pattern});
    if (!added) {
        return;  // one entry per name: a listing never yields a name twice
    }
    byAge_.insert(&*it);
    total_ += file.size;
    ++changes_;
}

void PictureIndex::erase(const QByteArray& rawName) {
    const auto it = byName_.find(rawName);
    if (it == byName_.end()) {
        return;
    }
    byAge_.erase(&*it);
    total_ -= it->second.size;
    byName_.erase(it);
    ++changes_;
}

void PictureIndex::clear() {
    byAge_.clear();
    byName_.clear();
    total_ = 0;
    scannedOldest_.reset();
    ++changes_;
}

std::optional<PictureIndex::Picture> PictureIndex::oldest() const {
    if (!following()) {
        return scannedOldest_;
    }
    if (byAge_.empty()) {
        return std::nullopt;
    }
    const Node* node = *byAge_.begin();
    return Picture{node->second.name, node->second.size, node->second.modifiedNs, node->first};
}

std::vector<PictureIndex::Picture> PictureIndex::oldestFirst() const {
    std::vector<Picture> pictures;
    if (!following()) {
        return pictures;
    }
    pictures.reserve(byAge_.size());
    for (const Node* node : byAge_) {
        pictures.push_back(
            {node->second.name, node->second.size, node->second.modifiedNs, node->first});
    }
    return pictures;
}

PictureIndex& pictureIndex(const QString& path) {
    static std::unique_ptr<PictureIndex> current;
    if (!current || current->path() != path) {
        current = std::make_unique<PictureIndex>(path);
        platform::setOwnChangeListener([](const QByteArray& changed) {
            if (current) {
                current->noteChanged(changed);
            }
        });
    }
    return *current;
}

}  // namespace folder
