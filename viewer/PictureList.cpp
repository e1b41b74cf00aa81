#include "viewer/PictureList.h"

#include <algorithm>

#include "folder/PictureFolder.h"
#include "folder/PictureIndex.h"
#include "platform/Files.h"
#include "viewer/PictureTimes.h"

namespace viewer {
namespace {

timelapse::TimedPicture timed(const QString& folder, const QString& name, int64_t modifiedNs) {
    const std::optional<int64_t> time = timeOfName(name);
    QString file;  // one allocation: a folder of 100,000 pictures makes as many names
    file.reserve(folder.size() + name.size());
    file.append(folder).append(name);
    return {std::move(file), time ? *time : timeOfModification(modifiedNs)};
}

}  // namespace

bool shownBefore(const timelapse::TimedPicture& a, const timelapse::TimedPicture& b) {
    if (a.time != b.time) {
        return a.time < b.time;
    }
    return a.file < b.file;
}

std::optional<std::vector<timelapse::TimedPicture>> readChangedPictures(
    const QString& path, std::optional<uint64_t>& seen) {
    folder::PictureIndex& index = folder::pictureIndex(path);
    index.refresh();
    const QString& folder = index.folder();
    std::vector<timelapse::TimedPicture> pictures;
    if (index.following()) {
        if (seen == index.changes()) {
            return std::nullopt;  // a second's look at a large folder costs nothing
        }
        seen = index.changes();
        const std::vector<folder::PictureIndex::Picture> indexed = index.oldestFirst();
        pictures.reserve(indexed.size());
        for (const folder::PictureIndex::Picture& picture : indexed) {
            pictures.push_back(timed(folder, picture.name, picture.modifiedNs));
        }
    } else {
        seen.reset();
        // An index that cannot follow the folder keeps no list of its pictures: a listing tells.
        const QString prefix = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
        platform::forEachFile(folder, {prefix + folder::kBmpPattern, prefix + folder::kPngPattern},
                              [&](size_t, const platform::FileInfo& file) {
                                  pictures.push_back(timed(folder, file.name, file.modifiedNs));
                              });
    }
    // The index's order (by last change) is nearly always the names' order already.
    if (!std::is_sorted(pictures.begin(), pictures.end(), shownBefore)) {
        std::sort(pictures.begin(), pictures.end(), shownBefore);
    }
    return pictures;
}

size_t placeOf(const std::vector<timelapse::TimedPicture>& pictures,
               const timelapse::TimedPicture& picture) {
    return static_cast<size_t>(
        std::lower_bound(pictures.begin(), pictures.end(), picture, shownBefore) -
        pictures.begin());
}

}  // namespace viewer
