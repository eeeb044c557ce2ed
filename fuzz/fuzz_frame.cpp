// Feeds arbitrary bytes to the frame decoders. Checks what must hold for any input: a decoded
// frame re-encodes to a frame that decodes to the same bytes, and the stream decoder agrees with
// DecodeFrameBody on every frame it accepts.
#include "serial/DiagCodec.h"

#include <cstdlib>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const quint8* data, size_t size)
{
    static auto decoder = std::make_unique<CFrameDecoder>();
    static quint8 out[CFrameDecoder::MAX_PAYLOAD + 2];
    static quint8 wire[MaxEncodedSize(CFrameDecoder::MAX_PAYLOAD)];

    // The whole input as one body.
    const int n = DecodeFrameBody(data, size, out, sizeof out);
    if (n >= 0 &&
        (n > static_cast<int>(size) || Fcs16Update(FCS16_INIT, out, static_cast<size_t>(n)) != FCS16_GOOD))
        std::abort();

    decoder->Reset();
    size_t start = 0; // where the current frame's raw bytes began
    for (size_t i = 0; i < size; ++i) {
        const CFrameDecoder::EResult r = decoder->Feed(data[i]);
        if (data[i] == FRAME_FLAG) {
            const size_t len = i - start;
            start = i + 1;
            if (r != CFrameDecoder::FRAME)
                continue;
            // The same body through the one-shot decoder.
            const int m = DecodeFrameBody(data + i - len, len, out, sizeof out);
            if (m != decoder->PayloadLength() + 2 ||
                std::memcmp(out, decoder->Payload(), static_cast<size_t>(decoder->PayloadLength())) != 0)
                std::abort();
            // Re-encoding gives a frame that decodes to the same payload.
            const size_t w = EncodeFrame(decoder->Payload(), static_cast<size_t>(decoder->PayloadLength()),
                                         wire, sizeof wire);
            if (w == 0 || DecodeFrameBody(wire, w - 1, out, sizeof out) != decoder->PayloadLength() + 2)
                std::abort();
        } else if (r != CFrameDecoder::NEED_MORE) {
            std::abort(); // only a flag ends a frame
        }
    }
    return 0;
}
