#include "png/BatchConvert.h"

#include <QFileInfo>

#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Platform.h"
#include "pngsaver.h"

namespace batch {
namespace {

bool exists(const QString& path) {
    return QFileInfo(path).exists();
}

Step result(Outcome outcome, int16_t code = PNGSAVER_OK, const QString& reason = {}) {
    return Step{outcome, code, reason};
}

}  // namespace

QString pngPathFor(const QString& bmpPath) {
    return bmpPath.left(bmpPath.size() - 4) + QStringLiteral(".png");
}

Step convertOne(const QString& bmpPath) {
    // While shooting goes on, the clean-up may delete the oldest pictures between the listing and
    // their turn. Such a picture is no error: it is gone either way.
    if (!exists(bmpPath)) {
        return result(Outcome::Vanished);
    }
    const int16_t code =
        platform::pngLibrary().bmpToPng(bmpPath, pngPathFor(bmpPath), QStringLiteral("c6"));
    if (code == PNGSAVER_ERR_READ_BMP && !exists(bmpPath)) {
        return result(Outcome::Vanished, code);  // deleted while the encoder was opening it
    }
    if (code != PNGSAVER_OK) {
        return result(Outcome::ConversionFailed, code);
    }
    // A BMP that vanished after its conversion (ENOENT) is as good as deleted.
    try {
        platform::removeFile(bmpPath);
    } catch (const platform::Error& e) {
        if (exists(bmpPath)) {
            return result(Outcome::DeletionFailed, code, e.message());
        }
    }
    return result(Outcome::Converted, code);
}

}  // namespace batch
