#pragma once
// One step of the batch compression: a BMP picture becomes a PNG picture and the BMP goes. A free
// function without windows; the batch window decides what the outcome means for its run.

#include <cstdint>
#include <QString>

namespace batch {

// The PNG path for a BMP path: its last four characters give way to ".png", whatever their case.
QString pngPathFor(const QString& bmpPath);

enum class Outcome {
    Converted,         // the PNG is written and the BMP deleted
    Vanished,          // the BMP was gone before its turn (the clean-up deleted it): nothing done
    ConversionFailed,  // the encoder returned `code`; the BMP stays, no PNG is written
    DeletionFailed,    // the PNG is written but the BMP could not be deleted, for `reason`
};

struct Step {
    Outcome outcome = Outcome::Converted;
    int16_t code = 0;  // the encoder's result
    QString reason;    // DeletionFailed: why, in the user's words
};

// Converts `bmpPath` into the PNG of pngPathFor() through the encoder library with the options
// "c6", then deletes the BMP.
Step convertOne(const QString& bmpPath);

}  // namespace batch
