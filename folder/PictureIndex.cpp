#include "folder/PictureIndex.h"

#include "folder/PictureFolder.h"
#include "platform/FolderWatch.h"
#include "platform/Files.h"

namespace folder {
namespace {

// A name that is not valid UTF-8 decodes with replacement characters, so two such names can look
// alike here: a folder holding one is read in full every time rather than followed.
struct NameNotExact {};

bool exactName(const QString& name) {
    return !name.contains(QChar::ReplacementCharacter);
}

// The scan's order of pictures: time, then pattern (BMP before PNG), then listing order.
bool olderThan(int64_t timeA, size_t patternA, const QString& nameA, int64_t timeB, size_t patternB,
               const QString& nameB) {
    if (timeA != timeB) {
        return timeA < timeB;
    }
    if (patternA != patternB) {
        return patternA < patternB;
    }
    return platform::listedBefore(nameA, nameB);
}

}  // namespace

bool PictureIndex::OlderFirst::operator()(const Node* a, const Node* b) const {
    return olderThan(a->second.modifiedNs, a->second.pattern, a->first, b->second.modifiedNs,
                     b->second.pattern, b->first);
}

PictureIndex::PictureIndex(const QString& path, bool follow) : path_(path), follow_(follow) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    folder_ = path.left(slash + 1);
    const QString prefix = path.mid(slash + 1);
    patterns_ = {prefix + kBmpPattern, prefix + kPngPattern};
}

PictureIndex::~PictureIndex() = default;

bool PictureIndex::following() const {
    return watch_ && watch_->following();
}

void PictureIndex::refresh() {
    if (following()) {
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
        const std::optional<std::vector<QString>> names = watch_->changes();
        if (!names) {
            return;  // changes were lost: no longer following
        }
        // Each name is measured now rather than trusted from its report: the last report of a
        // name may be older than its state, and measuring twice gives the same answer.
        for (const QString& name : *names) {
            remeasure(name);
        }
    } catch (const NameNotExact&) {
        watch_.reset();
    } catch (...) {
        watch_.reset();  // half applied: the next refresh reads in full
        throw;
    }
}

void PictureIndex::readInFull() {
    ++fullReads_;
    try {
        if (!following() || !indexInFull()) {
            watch_.reset();
            scanInFull();
        }
    } catch (...) {
        watch_.reset();  // the next refresh reads in full again
        clear();
        throw;
    }
}

bool PictureIndex::indexInFull() {
    clear();
    try {
        platform::forEachFile(folder_, patterns_,
                              [&](size_t pattern, const platform::FileInfo& file) {
                                  if (!exactName(file.name)) {
                                      throw NameNotExact{};
                                  }
                                  add(file.name, file.size, file.modifiedNs, pattern);
                              });
        return true;
    } catch (const NameNotExact&) {
        clear();
        return false;
    }
}

// The reading the program made before every decision before it kept an index: the total and the
// oldest picture, nothing kept.
void PictureIndex::scanInFull() {
    clear();
    platform::forEachFile(folder_, patterns_, [&](size_t pattern, const platform::FileInfo& file) {
        total_ += file.size;
        if (!scannedOldest_ ||
            olderThan(file.modifiedNs, pattern, file.name, scannedOldest_->modifiedNs,
                      scannedPattern_, scannedOldest_->name)) {
            scannedOldest_ = Picture{file.name, file.size, file.modifiedNs};
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

void PictureIndex::remeasure(const QString& name) {
    const int pattern = patternOf(name);
    if (pattern < 0) {
        return;
    }
    if (!exactName(name)) {
        throw NameNotExact{};
    }
    erase(name);
    if (const std::optional<platform::FileInfo> file = platform::measureFile(folder_, name)) {
        add(name, file->size, file->modifiedNs, static_cast<size_t>(pattern));
    }
}

void PictureIndex::noteChanged(const QString& fullName) noexcept {
    if (!following()) {
        return;  // the next refresh reads in full anyway
    }
    const qsizetype slash = fullName.lastIndexOf(QLatin1Char('/'));
    if (QStringView(fullName).left(slash + 1) != folder_) {
        return;
    }
    try {
        // Reports pending for others' changes first, so that a long run of the program's own
        // changes (a batch conversion) never lets the kernel's queue overflow.
        applyChanges();
        if (following()) {
            remeasure(fullName.mid(slash + 1));
        }
    } catch (...) {
        watch_.reset();
    }
}

void PictureIndex::add(const QString& name, int64_t size, int64_t modifiedNs, size_t pattern) {
    const auto [it, added] = byName_.try_emplace(name, Entry{size, modifiedNs, pattern});
    if (!added) {
        return;  // one entry per name: a listing never yields a name twice
    }
    byAge_.insert(&*it);
    total_ += size;
}

void PictureIndex::erase(const QString& name) {
    const auto it = byName_.find(name);
    if (it == byName_.end()) {
        return;
    }
    byAge_.erase(&*it);
    total_ -= it->second.size;
    byName_.erase(it);
}

void PictureIndex::clear() {
    byAge_.clear();
    byName_.clear();
    total_ = 0;
    scannedOldest_.reset();
}

std::optional<PictureIndex::Picture> PictureIndex::oldest() const {
    if (!following()) {
        return scannedOldest_;
    }
    if (byAge_.empty()) {
        return std::nullopt;
    }
    const Node* node = *byAge_.begin();
    return Picture{node->first, node->second.size, node->second.modifiedNs};
}

std::vector<PictureIndex::Picture> PictureIndex::oldestFirst() const {
    std::vector<Picture> pictures;
    if (!following()) {
        return pictures;
    }
    pictures.reserve(byAge_.size());
    for (const Node* node : byAge_) {
        pictures.push_back({node->first, node->second.size, node->second.modifiedNs});
    }
    return pictures;
}

PictureIndex& pictureIndex(const QString& path) {
    static std::unique_ptr<PictureIndex> current;
    if (!current || current->path() != path) {
        current = std::make_unique<PictureIndex>(path);
        platform::setOwnChangeListener([](const QString& changed) {
            if (current) {
                current->noteChanged(changed);
            }
        });
    }
    return *current;
}

}  // namespace folder
