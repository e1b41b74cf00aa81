// The picture folder's index against a full reading of the folder: random runs of the program's
// own steps (shots, PNG conversion, clean-ups) mixed with changes made by another process, and the
// fallbacks where the kernel refuses to follow the folder.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <gtest/gtest.h>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/BmpFile.h"
#include "folder/PictureFolder.h"
#include "folder/PictureIndex.h"
#include "platform/Files.h"
#include "png/BatchConvert.h"
#include "support/FakePlatform.h"

namespace {

using folder::CleanOutcome;
using folder::PictureIndex;

// A kernel limit set for as long as this lives; the old value is put back even when a check fails.
class KernelLimit {
public:
    KernelLimit(const std::string& name, long value) : file_("/proc/sys/fs/inotify/" + name) {
        std::ifstream in(file_);
        if (!(in >> old_)) {
            reason_ = file_ + " cannot be read";
        } else if (!write(value)) {
            reason_ = file_ + " cannot be written (" + std::strerror(errno) + "): needs root";
        }
    }
    ~KernelLimit() {
        if (reason_.empty()) {
            write(old_);
        }
    }
    const std::string& refused() const { return reason_; }

private:
    bool write(long value) const {
        FILE* out = std::fopen(file_.c_str(), "w");
        const bool ok = out != nullptr && std::fprintf(out, "%ld\n", value) > 0;
        return out != nullptr && std::fclose(out) == 0 && ok;
    }
    std::string file_;
    long old_ = 0;
    std::string reason_;
};

long kernelLimit(const char* name) {
    std::ifstream in(std::string("/proc/sys/fs/inotify/") + name);
    long value = 0;
    in >> value;
    return value;
}

// One change made by another process, with plain system calls.
struct Op {
    enum Kind { Create, Resize, Append, Touch, Remove, Rename, MakeDir, Link, Chmod } kind;
    std::string a, b;
    int64_t number = 0;
};

bool run(const Op& op) {
    static const char bytes[4096] = {};
    const timespec time{op.number / 1'000'000'000, long(op.number % 1'000'000'000)};
    const timespec times[2] = {time, time};
    int fd = -1;
    switch (op.kind) {
        case Op::Create:
            fd = ::open(op.a.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            return fd >= 0 && ::ftruncate(fd, std::stoll(op.b)) == 0 &&
                   ::futimens(fd, times) == 0 && ::close(fd) == 0;
        case Op::Resize:
            fd = ::open(op.a.c_str(), O_WRONLY);
            return fd >= 0 && ::ftruncate(fd, op.number) == 0 && ::close(fd) == 0;
        case Op::Append:
            fd = ::open(op.a.c_str(), O_WRONLY | O_APPEND);
            return fd >= 0 && ::write(fd, bytes, size_t(op.number)) == op.number &&
                   ::close(fd) == 0;
        case Op::Touch:
            return ::utimensat(AT_FDCWD, op.a.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
        case Op::Remove:
            return ::unlink(op.a.c_str()) == 0;
        case Op::Rename:
            return ::rename(op.a.c_str(), op.b.c_str()) == 0;
        case Op::MakeDir:
            return ::mkdir(op.a.c_str(), 0755) == 0;
        case Op::Link:
            return ::symlink(op.b.c_str(), op.a.c_str()) == 0;
        case Op::Chmod:
            return ::chmod(op.a.c_str(), mode_t(op.number)) == 0;
    }
    return false;
}

// Runs `ops` in a child process, as another program changing the folder would.
void elsewhere(const std::vector<Op>& ops) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0) << std::strerror(errno);
    if (child == 0) {
        for (size_t i = 0; i < ops.size(); ++i) {
            if (!run(ops[i])) {
                ::_exit(int(std::min<size_t>(i + 1, 255)));
            }
        }
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "change " << WEXITSTATUS(status) << " of " << ops.size() << " failed on "
        << ops[std::max(WEXITSTATUS(status), 1) - 1].a;
}

// What a full reading of the folder gives, by listings alone: BMP pictures in listing order,
// then PNG pictures, ordered by time (stable, so equal times keep that order).
struct FullScan {
    int64_t total = 0;
    std::vector<std::string> order;  // "name size time", oldest first
};

std::string describe(const QString& name, int64_t size, int64_t time) {
    return QStringLiteral("%1 %2 %3").arg(name).arg(size).arg(time).toStdString();
}

FullScan fullScan(const QString& path) {
    const QString folderPath = path.left(path.lastIndexOf('/') + 1);
    const QString prefix = path.mid(folderPath.size());
    std::vector<platform::FileInfo> files;
    for (const QString& pattern : {folder::kBmpPattern, folder::kPngPattern}) {
        for (platform::FileInfo& file : platform::listFiles(folderPath, prefix + pattern)) {
            files.push_back(std::move(file));
        }
    }
    std::stable_sort(files.begin(), files.end(),
                     [](const auto& a, const auto& b) { return a.modifiedNs < b.modifiedNs; });
    FullScan scan;
    for (const platform::FileInfo& file : files) {
        scan.total += file.size;
        scan.order.push_back(describe(file.name, file.size, file.modifiedNs));
    }
    return scan;
}

class PictureIndexRun : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        ASSERT_TRUE(QDir(root.path()).mkpath("pics"));
        ASSERT_TRUE(QDir(root.path()).mkpath("outside"));
    }

    // The folder as the settings hold it: "…/pics/", or "…/pics/pre" whose pictures are named
    // "prekcPic…".
    void usePath(const QString& tail) {
        path = root.path() + "/pics/" + tail;
        folderPath = path.left(path.lastIndexOf('/') + 1);
        prefix = path.mid(folderPath.size());
    }
    PictureIndex& index() { return folder::pictureIndex(path); }
    std::string at(const QString& name) const {
        return QFile::encodeName(folderPath + name).toStdString();
    }
    std::string away(const QString& name) const {
        return QFile::encodeName(root.path() + "/outside/" + name).toStdString();
    }
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }

    // A time among few (equal times are common) or near the program's own pictures.
    int64_t someTime() {
        const int64_t base = pick(2) == 0 ? 1'700'000'000 : QDateTime::currentSecsSinceEpoch() - 50;
        return (base + pick(16)) * 1'000'000'000 + (pick(3) == 0 ? pick(999'999'999) : 0);
    }
    QString pictureName() {
        static const char* const stems[] = {"kcPic", "KCPIC", "kcpic", "KcPiC"};
        static const char* const ends[] = {".bmp", ".png", ".BMP", ".Png"};
        return prefix + stems[pick(4)] + QString::number(pick(40)) + ends[pick(4)];
    }
    Op create(const std::string& where, int64_t size) {
        return {Op::Create, where, std::to_string(size), someTime()};
    }

    // The entries of the folder: files (and links to files), and folders.
    void entries(QStringList* files, QStringList* folders) const {
        const QDir dir(folderPath);
        *files = dir.entryList(QDir::Files | QDir::Hidden, QDir::Name);
        *folders = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    }

    // One change by another process, picked at random.
    void outsideChange() {
        QStringList files, folders;
        entries(&files, &folders);
        const QString some = files.isEmpty() ? QString() : files[pick(int(files.size()))];
        const QString moved = QStringLiteral("m%1").arg(++counter);
        std::vector<Op> ops;
        switch (files.isEmpty() ? 0 : pick(12)) {
            case 0:
                ops = {create(at(pictureName()), pick(5000))};
                break;
            case 1:  // the same name in other letter case, or a name that is no picture
                ops = {create(at(pick(2) ? some.toUpper() : some.toLower()), pick(5000))};
                if (pick(2)) {
                    static const char* const others[] = {"kcPic1.jpg",  "kcPic2.bmpx",
                                                         ".kcPic3.bmp", "xkcPic4.png",
                                                         "kcPi5.png",   "kcPic6.bm"};
                    ops = {create(at(prefix + others[pick(6)]), pick(5000))};
                }
                break;
            case 2:  // grow or truncate
                ops = {{Op::Resize, at(some), {}, pick(3) == 0 ? 0 : pick(9000)}};
                break;
            case 3:
                ops = {{Op::Append, at(some), {}, 1 + pick(4000)}};
                break;
            case 4:  // touched: another picture may become the oldest
                ops = {{Op::Touch, at(some), {}, someTime()}};
                break;
            case 5:
                ops = {{Op::Remove, at(some), {}, 0}};
                break;
            case 6:  // moved out
                ops = {{Op::Rename, at(some), away(moved), 0}};
                break;
            case 7:  // moved in, possibly over a picture
                ops = {create(away(moved), pick(5000)),
                       {Op::Rename, away(moved), at(pick(2) ? some : pictureName()), 0}};
                break;
            case 8:  // renamed within: picture to no picture and back
                ops = {{Op::Rename, at(some),
                        at(pick(2) ? pictureName() : prefix + "kcPic" + moved + ".txt"), 0}};
                break;
            case 9:  // a folder named like a picture, with a picture inside
                ops = {{Op::MakeDir, at(prefix + "kcPic" + moved + ".bmp"), {}, 0},
                       create(at(prefix + "kcPic" + moved + ".bmp/" + prefix + "kcPic1.bmp"), 77)};
                break;
            case 10:  // a link named like a picture
                ops = {{Op::Link, at(prefix + "kcPic" + moved + ".png"), some.toStdString(), 0}};
                break;
            case 11:
                if (!folders.isEmpty()) {  // a folder named like a picture moved out
                    ops = {{Op::Rename, at(folders[pick(int(folders.size()))]), away(moved), 0}};
                }
                break;
        }
        elsewhere(ops);
    }

    // A picture stored as a shot is, sometimes converted to PNG at once.
    void shoot() {
        const QString bmp = path + QStringLiteral("kcPic%1.bmp").arg(++counter, 6, 10, QChar('0'));
        app::saveBmp(image, bmp);
        if (pick(2) == 0) {
            EXPECT_EQ(batch::convertOne(bmp).outcome, batch::Outcome::Converted);
        }
        if (index().following()) {  // the program's own changes count at once, unrefreshed
            EXPECT_EQ(index().total(), fullScan(path).total);
        }
    }

    // A clean-up in delete mode must delete exactly the oldest pictures of a full reading.
    void cleanUp() {
        const FullScan before = fullScan(path);
        const int64_t limit = before.total - pick(6000);
        size_t deleted = 0;
        for (int64_t total = before.total; total > limit && deleted < before.order.size();) {
            total -=
                QString::fromStdString(before.order[deleted++]).section(' ', 1, 1).toLongLong();
        }
        const folder::CleanResult result = folder::cleanFolder(path, limit, 700, false);
        EXPECT_EQ(size_t(result.deletedCount), deleted);
        EXPECT_EQ(result.outcome, limit < 0 && deleted == before.order.size()
                                      ? CleanOutcome::DeleteFailed
                                      : CleanOutcome::Store);
        EXPECT_EQ(fullScan(path).order,
                  std::vector<std::string>(before.order.begin() + deleted, before.order.end()));
    }

    // In stop mode the decision and the remaining shots follow the full reading's total.
    void checkFull() {
        const int64_t total = fullScan(path).total;
        const int64_t limit = total - 3000 + pick(6000);
        const folder::CleanResult result = folder::cleanFolder(path, limit, 700, true);
        EXPECT_EQ(result.outcome, total > limit ? CleanOutcome::FolderFull : CleanOutcome::Store);
        EXPECT_EQ(*result.remaining, folder::remainingShots(limit, total, 700));
    }

    // Another process fills the folder faster than the kernel's queue holds. As root the queue is
    // made small for a moment (the index is made to start a new watch then), else the burst is
    // made as large as the queue.
    void burst() {
        long queue = kernelLimit("max_queued_events");
        {
            KernelLimit small("max_queued_events", 128);
            if (small.refused().empty()) {
                elsewhere({{Op::Chmod, QFile::encodeName(folderPath).toStdString(), {}, 0755}});
                folder::GetPathSize(path);  // the folder's own attributes changed: a new watch
                queue = 128;
            }
        }
        ASSERT_LT(queue, 100'000) << "max_queued_events too large for a burst";
        std::vector<Op> ops;
        for (long i = 0; i < queue; ++i) {  // two reports each: created, closed after writing
            ops.push_back(create(at(prefix + QStringLiteral("kcPicBurst%1.png").arg(i)), i % 97));
        }
        const int readsBefore = index().fullReads();
        elsewhere(ops);
        expectSameAsFullScan("burst");
        EXPECT_EQ(index().fullReads(), readsBefore + 1) << "the queue did not overflow";
        for (Op& op : ops) {
            op = {Op::Remove, op.a, {}, 0};
        }
        elsewhere(ops);
    }

    // The folder itself is moved away and another one takes its place.
    void replaceFolder() {
        const std::string folderName = QFile::encodeName(folderPath.chopped(1)).toStdString();
        const std::string old = away(QStringLiteral("old%1").arg(++counter));
        elsewhere({{Op::Rename, folderName, old, 0},
                   {Op::MakeDir, folderName, {}, 0},
                   create(at(prefix + "kcPicNew.bmp"), 1234)});
    }

    void expectSameAsFullScan(const QString& step) {
        SCOPED_TRACE(step.toStdString());
        const int64_t total = folder::GetPathSize(path);  // brings the index up to date
        const FullScan scan = fullScan(path);
        ASSERT_EQ(total, scan.total);
        const std::optional<PictureIndex::Picture> oldest = index().oldest();
        ASSERT_EQ(oldest ? describe(oldest->name, oldest->size, oldest->modifiedNs) : "",
                  scan.order.empty() ? "" : scan.order.front());
        if (index().following()) {
            std::vector<std::string> order;
            for (const PictureIndex::Picture& p : index().oldestFirst()) {
                order.push_back(describe(p.name, p.size, p.modifiedNs));
            }
            ASSERT_EQ(order, scan.order);
            // The viewer reads the pictures again only when the count of changes moves.
            if (lastLook.index == &index() && lastLook.changes == index().changes()) {
                ASSERT_EQ(order, lastLook.order) << "changed pictures, the same count of changes";
            }
            lastLook = {&index(), index().changes(), order};
        }
    }

    // `steps` random steps, each followed by a comparison with a full reading.
    void randomRun(unsigned seed, int steps, bool withBursts) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        rng.seed(seed);
        for (int step = 0; step < steps && !HasFatalFailure(); ++step) {
            const int kind = pick(100);
            QString name;
            if (kind < 55) {
                outsideChange();
                name = "outside change";
            } else if (kind < 75) {
                shoot();
                name = "shot";
            } else if (kind < 87) {
                cleanUp();
                name = "clean-up";
            } else if (kind < 97) {
                checkFull();
                name = "stop when full";
            } else if (withBursts && kind < 99) {
                burst();
                name = "burst";
            } else if (withBursts) {
                replaceFolder();
                name = "folder replaced";
            }
            expectSameAsFullScan(QStringLiteral("step %1: %2").arg(step).arg(name));
        }
    }

    testing_support::FakePlatform fakes;
    QTemporaryDir root;
    QString path, folderPath, prefix;
    std::mt19937 rng;
    int counter = 0;
    struct {
        const PictureIndex* index = nullptr;
        uint64_t changes = 0;
        std::vector<std::string> order;
    } lastLook;
    const QImage image = [] {
        QImage picture(6, 4, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        return picture;
    }();
};

TEST_F(PictureIndexRun, FollowsOwnStepsAndOthersChangesLikeAFullScan) {
    for (const unsigned seed : {1u, 2u}) {
        usePath(seed == 1 ? QString() : QStringLiteral("pre"));
        randomRun(seed, 300, true);
        EXPECT_TRUE(index().following()) << "the folder was read in full at every look";
        EXPECT_LT(index().fullReads(), 40) << "the index hardly followed anything";
    }
}

// Where the kernel refuses to follow the folder, every look reads it in full, with the same
// decisions; once it accepts again, the folder is followed again.
TEST_F(PictureIndexRun, RefusedWatchesReadInFullEveryTime) {
    for (const char* limit : {"max_user_watches", "max_user_instances"}) {
        SCOPED_TRACE(limit);
        usePath(QStringLiteral("%1/").arg(limit));
        ASSERT_TRUE(QDir().mkpath(path));
        {
            KernelLimit none(limit, 0);
            if (!none.refused().empty()) {
                GTEST_SKIP() << none.refused();
            }
            randomRun(7, 25, false);
            EXPECT_FALSE(index().following());
            EXPECT_GE(index().fullReads(), 25);
        }
        expectSameAsFullScan("after the limit was restored");
        EXPECT_TRUE(index().following());
    }
}

TEST_F(PictureIndexRun, AMissingFolderIsFollowedOnceItExists) {
    usePath(QStringLiteral("later/"));
    EXPECT_EQ(folder::GetPathSize(path), 0);
    EXPECT_FALSE(index().following());
    ASSERT_TRUE(QDir().mkpath(path));
    elsewhere({create(at("kcPic1.bmp"), 300)});
    expectSameAsFullScan("created");
    EXPECT_TRUE(index().following());
    rng.seed(3);
    shoot();
    expectSameAsFullScan("shot");
}

// Names that are not valid UTF-8 look alike once decoded: they are followed by their bytes.
TEST_F(PictureIndexRun, NamesThatAreNotUtf8AreFollowedByTheirBytes) {
    usePath(QString());
    elsewhere({create(at("kcPic1.bmp"), 100)});
    expectSameAsFullScan("one picture");
    EXPECT_TRUE(index().following());
    const std::string folderName = QFile::encodeName(folderPath).toStdString();
    elsewhere(
        {create(folderName + "kcPic\xff.bmp", 200), create(folderName + "kcPic\xfe.bmp", 400)});
    expectSameAsFullScan("two names alike");
    EXPECT_EQ(folder::GetPathSize(path), 700);
    EXPECT_TRUE(index().following());
}

// A picture written through a hard link in another folder is reported for that folder only: the
// next full reading, due once its period has passed, corrects the index.
TEST_F(PictureIndexRun, APeriodicFullReadingCorrectsAChangeMadeThroughAHardLink) {
    usePath(QString());
    elsewhere({create(at("kcPic1.bmp"), 100)});
    const std::chrono::milliseconds period(1000);
    PictureIndex own(path, true, period);
    own.refresh();
    ASSERT_TRUE(own.following());
    ASSERT_EQ(::link(at("kcPic1.bmp").c_str(), away("link").c_str()), 0) << std::strerror(errno);
    elsewhere({{Op::Append, away("link"), {}, 50}});
    own.refresh();
    EXPECT_EQ(own.total(), 100) << "no drift to correct: the change was reported";
    std::this_thread::sleep_for(period);
    own.refresh();
    EXPECT_EQ(own.oldest()->size, 150);
    EXPECT_TRUE(own.following());
}

}  // namespace
