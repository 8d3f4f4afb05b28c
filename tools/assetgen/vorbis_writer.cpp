// Ogg Vorbis output through libvorbisenc.
#include "tools/assetgen/vorbis_writer.h"

#include <vorbis/vorbisenc.h>

#include <cstdio>

namespace {

// Any fixed value will do; a random serial would make every run differ.
constexpr int kStreamSerial = 0x42334431;

// Frames handed to the encoder per call.
constexpr int kBlockFrames = 1024;

bool write_pages(FILE* file, ogg_stream_state& stream, bool flush) {
    ogg_page page;
    while (flush ? ogg_stream_flush(&stream, &page) : ogg_stream_pageout(&stream, &page)) {
        if (std::fwrite(page.header, 1, static_cast<size_t>(page.header_len), file) !=
                static_cast<size_t>(page.header_len) ||
            std::fwrite(page.body, 1, static_cast<size_t>(page.body_len), file) !=
                static_cast<size_t>(page.body_len))
            return false;
    }
    return true;
}

} // namespace

bool write_ogg_vorbis(const std::string& path, const std::vector<float>& samples, int channels, int rate,
                      float quality) {
    if (channels < 1 || channels > 2) return false;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;

    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, channels, rate, quality) != 0) {
        vorbis_info_clear(&info);
        std::fclose(file);
        return false;
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_comment_add_tag(&comment, "ENCODER", "Brakkovane 3D assetgen");

    vorbis_dsp_state dsp;
    vorbis_block block;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, kStreamSerial);

    ogg_packet header, header_comment, header_code;
    vorbis_analysis_headerout(&dsp, &comment, &header, &header_comment, &header_code);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &header_comment);
    ogg_stream_packetin(&stream, &header_code);
    bool ok = write_pages(file, stream, true);

    const size_t frames = samples.size() / static_cast<size_t>(channels);
    size_t done = 0;
    bool ended = false;
    while (ok && !ended) {
        const size_t n = frames - done < kBlockFrames ? frames - done : kBlockFrames;
        if (n == 0) {
            vorbis_analysis_wrote(&dsp, 0);
        } else {
            float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(n));
            for (size_t i = 0; i < n; ++i)
                for (int c = 0; c < channels; ++c)
                    buffer[c][i] =
                        samples[(done + i) * static_cast<size_t>(channels) + static_cast<size_t>(c)];
            vorbis_analysis_wrote(&dsp, static_cast<int>(n));
            done += n;
        }
        while (ok && vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (ok && vorbis_bitrate_flushpacket(&dsp, &packet)) {
                ogg_stream_packetin(&stream, &packet);
                ok = write_pages(file, stream, false);
                if (packet.e_o_s) ended = true;
            }
        }
        if (n == 0) ended = true;
    }
    ok = ok && write_pages(file, stream, true);

    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return std::fclose(file) == 0 && ok;
}
