#include <zlib.h>

#include <algorithm>
#include <limits>

#include "qzr/vgm/vgm_file.h"

namespace qzr::vgm {
namespace {

constexpr std::size_t kChunk = 64 * 1024;
constexpr int kGzipWindowBits = 15 + 16;  // the largest window, with a gzip wrapper

// Owns a zlib stream for one direction.
class ZStream {
public:
    explicit ZStream(bool inflating) : inflating_(inflating) {
        ok_ = inflating ? inflateInit2(&stream_, kGzipWindowBits) == Z_OK
                        : deflateInit2(&stream_, Z_BEST_COMPRESSION, Z_DEFLATED, kGzipWindowBits, 8,
                                       Z_DEFAULT_STRATEGY) == Z_OK;
    }
    ~ZStream() {
        if (!ok_) return;
        if (inflating_) {
            inflateEnd(&stream_);
        } else {
            deflateEnd(&stream_);
        }
    }
    ZStream(const ZStream&) = delete;
    ZStream& operator=(const ZStream&) = delete;

    bool Ok() const { return ok_; }
    z_stream& Get() { return stream_; }

private:
    z_stream stream_{};
    bool inflating_;
    bool ok_ = false;
};

}  // namespace

bool LooksGzipped(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 2 && bytes[0] == 0x1F && bytes[1] == 0x8B;
}

std::optional<std::vector<std::uint8_t>> Gunzip(std::span<const std::uint8_t> bytes,
                                                std::size_t limit, std::string& error) {
    ZStream zs(true);
    if (!zs.Ok() || bytes.size() > std::numeric_limits<uInt>::max()) {
        error = "cannot unpack the gzip stream";
        return std::nullopt;
    }
    z_stream& s = zs.Get();
    s.next_in = const_cast<Bytef*>(bytes.data());  // zlib's API does not write through it
    s.avail_in = static_cast<uInt>(bytes.size());
    std::vector<std::uint8_t> out;
    for (;;) {
        const std::size_t done = out.size();
        if (done > limit) {
            error = "it unpacks to more than " + std::to_string(limit >> 20) + " MB";
            return std::nullopt;
        }
        out.resize(done + kChunk);
        s.next_out = out.data() + done;
        s.avail_out = static_cast<uInt>(kChunk);
        const int result = inflate(&s, Z_NO_FLUSH);
        out.resize(done + (kChunk - s.avail_out));
        if (result == Z_STREAM_END) break;
        if (result == Z_BUF_ERROR && s.avail_in == 0) {
            error = "the gzip stream is cut short after " + std::to_string(s.total_in) + " bytes";
            return std::nullopt;
        }
        if (result != Z_OK) {
            error = "the gzip stream is broken at byte " + std::to_string(s.total_in) +
                    (s.msg != nullptr ? std::string(" (") + s.msg + ")" : std::string());
            return std::nullopt;
        }
    }
    if (out.size() > limit) {
        error = "it unpacks to more than " + std::to_string(limit >> 20) + " MB";
        return std::nullopt;
    }
    return out;
}

std::optional<std::vector<std::uint8_t>> Gzip(std::span<const std::uint8_t> bytes,
                                              std::string& error) {
    ZStream zs(false);
    if (!zs.Ok() || bytes.size() > std::numeric_limits<uInt>::max()) {
        error = "cannot pack the file with gzip";
        return std::nullopt;
    }
    z_stream& s = zs.Get();
    s.next_in = const_cast<Bytef*>(bytes.data());
    s.avail_in = static_cast<uInt>(bytes.size());
    std::vector<std::uint8_t> out(deflateBound(&s, static_cast<uLong>(bytes.size())) + 32);
    s.next_out = out.data();
    s.avail_out = static_cast<uInt>(out.size());
    if (deflate(&s, Z_FINISH) != Z_STREAM_END) {
        error = "cannot pack the file with gzip";
        return std::nullopt;
    }
    out.resize(out.size() - s.avail_out);
    return out;
}

}  // namespace qzr::vgm
