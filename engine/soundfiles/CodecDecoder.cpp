#include "soundfiles/CodecDecoder.h"

#include "core/LoggCls.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

namespace {

void logCallback(void* avcl, int level, const char* fmt, va_list args)
{
    if (level > AV_LOG_ERROR)
        return;
    char line[1024];
    int prefix = 1;
    av_log_format_line2(avcl, level, fmt, args, line, sizeof line, &prefix);
    std::string text = std::string("FFmpeg: ") + line;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    vkit::Logg().warning(text);
}

std::string errorText(int code)
{
    char buf[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, buf, sizeof buf);
    return buf;
}

struct FormatCloser {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct CodecCloser {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct SwrCloser {
    void operator()(SwrContext* c) const { swr_free(&c); }
};
struct FrameCloser {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketCloser {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};

bool isFloat(AVSampleFormat f)
{
    f = av_get_packed_sample_fmt(f);
    return f == AV_SAMPLE_FMT_FLT || f == AV_SAMPLE_FMT_DBL;
}

}  // namespace

void CodecDecoder::silenceLibraryOutput()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_callback(logCallback); });
}

CodecDecoder::Result CodecDecoder::decode(const std::string& path, CodecSink& sink)
{
    silenceLibraryOutput();
    m_info = CodecInfo{};
    m_detail.clear();

    AVFormatContext* rawFmt = nullptr;
    int rc = avformat_open_input(&rawFmt, path.c_str(), nullptr, nullptr);
    if (rc < 0) {
        m_detail = errorText(rc);
        return Result::CannotDecode;
    }
    std::unique_ptr<AVFormatContext, FormatCloser> fmt(rawFmt);
    if ((rc = avformat_find_stream_info(fmt.get(), nullptr)) < 0) {
        m_detail = errorText(rc);
        return Result::CannotDecode;
    }
    const AVCodec* codec = nullptr;
    const int stream = av_find_best_stream(fmt.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (stream < 0 || !codec) {
        m_detail = stream < 0 ? errorText(stream) : "no decoder";
        return Result::CannotDecode;
    }
    AVStream* st = fmt->streams[stream];
    std::unique_ptr<AVCodecContext, CodecCloser> dec(avcodec_alloc_context3(codec));
    if (!dec || avcodec_parameters_to_context(dec.get(), st->codecpar) < 0 || avcodec_open2(dec.get(), codec, nullptr) < 0) {
        m_detail = "cannot open the decoder";
        return Result::CannotDecode;
    }
    for (int i = 0; i < static_cast<int>(fmt->nb_streams); ++i)
        if (i != stream)
            fmt->streams[i]->discard = AVDISCARD_ALL;

    const int srcChannels = dec->ch_layout.nb_channels;
    if (dec->sample_rate <= 0 || srcChannels <= 0 || dec->sample_fmt == AV_SAMPLE_FMT_NONE) {
        m_detail = "no sampling rate, channels or sample format";
        return Result::WrongFormat;
    }
    m_info.rateHz = static_cast<std::uint32_t>(dec->sample_rate);
    m_info.sourceChannels = srcChannels;
    m_info.channels = std::min(srcChannels, 2);
    m_info.codecName = codec->name ? codec->name : "";
    const AVCodecDescriptor* desc = avcodec_descriptor_get(codec->id);
    m_info.lossless = desc && (desc->props & AV_CODEC_PROP_LOSSLESS);
    const int rawBits = dec->bits_per_raw_sample > 0 ? dec->bits_per_raw_sample
                                                     : av_get_bytes_per_sample(dec->sample_fmt) * 8;
    if (m_info.lossless && isFloat(dec->sample_fmt))
        m_info.bitsPerSample = 32;
    else if (m_info.lossless && rawBits > 16)
        m_info.bitsPerSample = rawBits <= 24 ? 24 : 32;
    else
        m_info.bitsPerSample = 16;
    if (st->duration > 0 && st->time_base.den > 0)
        m_info.estimatedFrames = av_rescale_q(st->duration, st->time_base, AVRational{1, dec->sample_rate});

    // The resampler converts whatever the decoder delivers into the document's
    // format: the first two channels of the source in its own order (a mono
    // frame in a stereo recording goes to both channels), at the rate and sample
    // width fixed above. Frames do not always carry the stream's parameters
    // (the channel count or the rate may change between frames), so every frame
    // is checked against the resampler's input and the resampler is set up again
    // when they differ.
    const AVSampleFormat outFmt = m_info.bitsPerSample == 16 ? AV_SAMPLE_FMT_S16 : AV_SAMPLE_FMT_S32;
    std::unique_ptr<SwrContext, SwrCloser> swr;
    struct InputConfig {
        int channels = 0;
        AVSampleFormat format = AV_SAMPLE_FMT_NONE;
        int rateHz = 0;
        bool operator==(const InputConfig&) const = default;
    } swrInput;
    auto setUpResampler = [&](const AVChannelLayout& layout, AVSampleFormat format, int rateHz) -> int {
        const int inChannels = layout.nb_channels;
        if (inChannels <= 0 || inChannels > 64 || rateHz <= 0 || format == AV_SAMPLE_FMT_NONE ||
            av_get_bytes_per_sample(format) <= 0)
            return AVERROR_INVALIDDATA;
        AVChannelLayout outLayout = m_info.channels == 1 ? AVChannelLayout(AV_CHANNEL_LAYOUT_MONO)
                                                         : AVChannelLayout(AV_CHANNEL_LAYOUT_STEREO);
        AVChannelLayout inLayout{};
        if (av_channel_layout_copy(&inLayout, &layout) < 0 || inLayout.order == AV_CHANNEL_ORDER_UNSPEC) {
            av_channel_layout_uninit(&inLayout);
            av_channel_layout_default(&inLayout, inChannels);
        }
        SwrContext* rawSwr = nullptr;
        int r = swr_alloc_set_opts2(&rawSwr, &outLayout, outFmt, static_cast<int>(m_info.rateHz), &inLayout, format,
                                    rateHz, 0, nullptr);
        av_channel_layout_uninit(&inLayout);
        std::unique_ptr<SwrContext, SwrCloser> next(rawSwr);
        if (r >= 0 && inChannels != m_info.channels) {
            // Channels picked unmixed, never down- or up-mixed with a gain.
            std::vector<double> matrix(static_cast<size_t>(m_info.channels * inChannels), 0.0);
            for (int o = 0; o < m_info.channels; ++o)
                matrix[static_cast<size_t>(o * inChannels + std::min(o, inChannels - 1))] = 1.0;
            r = swr_set_matrix(next.get(), matrix.data(), inChannels);
        }
        if (r >= 0)
            r = swr_init(next.get());
        if (r < 0)
            return r;
        swr = std::move(next);
        swrInput = InputConfig{inChannels, format, rateHz};
        return 0;
    };
    rc = setUpResampler(dec->ch_layout, dec->sample_fmt, dec->sample_rate);
    if (rc < 0) {
        m_detail = errorText(rc);
        return Result::WrongFormat;
    }
    if (!sink.format(m_info))
        return Result::Cancelled;

    std::unique_ptr<AVFrame, FrameCloser> frame(av_frame_alloc());
    std::unique_ptr<AVPacket, PacketCloser> packet(av_packet_alloc());
    const int outBytesPerSample = m_info.bitsPerSample / 8;
    const int outBlock = outBytesPerSample * m_info.channels;
    std::vector<std::uint8_t> conv, packed;
    const std::int64_t fileSize = fmt->pb ? avio_size(fmt->pb) : -1;
    int fatal = 0;
    bool unusable = false;  // a frame whose parameters no resampler can take

    auto emit = [&](int samples) -> bool {
        const int convBlock = av_get_bytes_per_sample(outFmt) * m_info.channels;
        if (m_info.bitsPerSample != 24)
            return sink.data(conv.data(), static_cast<size_t>(samples) * static_cast<size_t>(convBlock));
        // 24-bit: the upper three bytes of each 32-bit sample.
        packed.resize(static_cast<size_t>(samples) * static_cast<size_t>(outBlock));
        const size_t n = static_cast<size_t>(samples) * static_cast<size_t>(m_info.channels);
        for (size_t i = 0; i < n; ++i)
            std::memcpy(&packed[i * 3], &conv[i * 4 + 1], 3);
        return sink.data(packed.data(), packed.size());
    };
    auto convert = [&](const AVFrame* f) -> bool {
        const int inSamples = f ? f->nb_samples : 0;
        if (f && inSamples <= 0)
            return true;
        const int maxOut = swr_get_out_samples(swr.get(), inSamples);
        if (maxOut <= 0)
            return true;
        conv.resize(static_cast<size_t>(maxOut) * static_cast<size_t>(av_get_bytes_per_sample(outFmt) * m_info.channels));
        uint8_t* out[1] = {conv.data()};
        const int got = swr_convert(swr.get(), out, maxOut, f ? const_cast<const uint8_t**>(f->extended_data) : nullptr,
                                    inSamples);
        if (got < 0) {
            fatal = got;
            return false;
        }
        return got == 0 || emit(got);
    };
    auto drain = [&]() -> int {
        for (;;) {
            const int r = avcodec_receive_frame(dec.get(), frame.get());
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
                return 0;
            if (r < 0)
                return r;
            const AVFrame* f = frame.get();
            const InputConfig here{f->ch_layout.nb_channels, static_cast<AVSampleFormat>(f->format), f->sample_rate};
            if (!(here == swrInput)) {
                // What the old resampler still holds belongs before this frame.
                if (!convert(nullptr)) {
                    av_frame_unref(frame.get());
                    return fatal ? fatal : 1;
                }
                const int r2 = setUpResampler(f->ch_layout, here.format, here.rateHz);
                if (r2 < 0) {
                    av_frame_unref(frame.get());
                    unusable = true;
                    return r2;
                }
                vkit::Logg().information("CodecDecoder: " + path + ": the decoder changed to " +
                                  std::to_string(here.channels) + " channels at " + std::to_string(here.rateHz) +
                                  " Hz; the resampler was set up again");
            }
            const bool ok = convert(f);
            av_frame_unref(frame.get());
            if (!ok)
                return fatal ? fatal : 1;
        }
    };

    std::int64_t lastReport = -1;
    for (;;) {
        rc = av_read_frame(fmt.get(), packet.get());
        if (rc == AVERROR_EOF)
            break;
        if (rc < 0) {
            // A damaged tail: keep what was decoded, say so in the log.
            vkit::Logg().warning("CodecDecoder: " + path + ": reading stopped: " + errorText(rc));
            break;
        }
        if (packet->stream_index == stream) {
            rc = avcodec_send_packet(dec.get(), packet.get());
            if (rc < 0 && rc != AVERROR(EAGAIN) && rc != AVERROR_INVALIDDATA) {
                av_packet_unref(packet.get());
                m_detail = errorText(rc);
                return Result::DecodeFailed;
            }
            const int d = drain();
            if (d == 1) {
                av_packet_unref(packet.get());
                return Result::Cancelled;
            }
            if (unusable) {
                av_packet_unref(packet.get());
                m_detail = "a decoded frame has no usable channels, rate or sample format: " + errorText(d);
                return Result::CannotDecode;
            }
            if (d < 0 && d != AVERROR_INVALIDDATA) {
                av_packet_unref(packet.get());
                m_detail = errorText(d);
                return Result::DecodeFailed;
            }
        }
        av_packet_unref(packet.get());
        const std::int64_t pos = fmt->pb ? avio_tell(fmt->pb) : -1;
        if (pos >= 0 && pos - lastReport >= (1 << 20)) {
            lastReport = pos;
            if (!sink.progress(pos, fileSize))
                return Result::Cancelled;
        }
    }
    avcodec_send_packet(dec.get(), nullptr);
    const int d = drain();
    if (d == 1)
        return Result::Cancelled;
    if (unusable) {
        m_detail = "a decoded frame has no usable channels, rate or sample format: " + errorText(d);
        return Result::CannotDecode;
    }
    if (d < 0 && d != AVERROR_INVALIDDATA) {
        m_detail = errorText(d);
        return Result::DecodeFailed;
    }
    if (!convert(nullptr))  // what the resampler still holds
        return fatal ? Result::DecodeFailed : Result::Cancelled;
    sink.progress(fileSize, fileSize);
    return Result::Ok;
}
