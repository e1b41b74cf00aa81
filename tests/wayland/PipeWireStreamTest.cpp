// The screen stream against a real PipeWire daemon and a source of the test's own: pictures
// follow the source's changing content whether it offers one buffer or two, and a source that
// goes away ends the stream.

#include <utility>
#include <QImage>

#include "DesktopTest.h"
#include "VideoSource.h"
#include "platform/wayland/PipeWireStream.h"

namespace waylandtest {
namespace {

using platform::wayland::PipeWireStream;

class PipeWireStreamTest : public DesktopTest<Desktop::PipeWire> {
protected:
    QString socketPath() const {
        return session->value(QStringLiteral("XDG_RUNTIME_DIR")) + QStringLiteral("/pipewire-0");
    }
};

TEST_F(PipeWireStreamTest, PicturesFollowTheSourceWithOneBufferOrTwoAndEndWithIt) {
    for (const int buffers : {1, 2}) {
        SCOPED_TRACE(buffers);
        auto source = std::make_unique<VideoSource>(socketPath(), buffers, 640, 480);
        const std::uint32_t node = source->node();
        ASSERT_NE(node, 0u);
        PipeWireStream stream;
        stream.open(connectTo(socketPath()), node);
        const auto seen = [&] {
            const QImage frame = stream.newestFrame();
            return frame.isNull() ? QRgb(0) : frame.pixel(5, 5);
        };
        int timeoutMs = 20000;  // the first frame waits for WirePlumber to link the two
        for (const QRgb colour :
             {0xff102030u, 0xff405060u, 0xff708090u, 0xffa0b0c0u, 0xff0000ffu}) {
            // The source draws the new content again and again, as a screen does, whenever it
            // has a free buffer: one that the stream holds on to starves it.
            EXPECT_TRUE(waitFor(
                [&] {
                    source->show(colour);
                    return seen() == colour;
                },
                std::exchange(timeoutMs, 3000)))
                << std::hex << colour << " not seen";
        }
        EXPECT_EQ(stream.newestFrame().size(), QSize(386, 300)) << "the corner a picture keeps";
        EXPECT_FALSE(stream.ended());

        source.reset();
        EXPECT_TRUE(waitFor([&] { return stream.ended(); }, 10000)) << "the source went away";
        EXPECT_TRUE(stream.newestFrame().isNull());
    }
}

}  // namespace
}  // namespace waylandtest
