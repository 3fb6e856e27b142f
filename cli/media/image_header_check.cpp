#include "image_header_check.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "media_error.h"

namespace ruvovav::media {
namespace {

// An OpenEXR header is a list of attributes; a file of several parts has a list of headers.
// Each attribute: name, type name (both ending in a zero byte) and a 32-bit little-endian
// value size. The headers are read completely, so this is enough to see every size.
constexpr size_t kHeaderReadLimit = 1 << 20;

class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    size_t position() const { return at_; }
    bool atEnd() const { return at_ >= bytes_.size(); }

    // A zero-terminated string; nullopt when the bytes end first.
    std::optional<std::string> text() {
        const auto begin = bytes_.begin() + std::ptrdiff_t(std::min(at_, bytes_.size()));
        const auto zero = std::find(begin, bytes_.end(), uint8_t(0));
        if (zero == bytes_.end()) return std::nullopt;
        std::string value(begin, zero);
        at_ = size_t(zero - bytes_.begin()) + 1;
        return value;
    }
    std::optional<uint32_t> u32(bool bigEndian) {
        if (bytes_.size() - std::min(at_, bytes_.size()) < 4) return std::nullopt;
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const uint32_t byte = bytes_[at_ + size_t(i)];
            value |= byte << (bigEndian ? 8 * (3 - i) : 8 * i);
        }
        at_ += 4;
        return value;
    }
    void skip(uint64_t count) { at_ = size_t(std::min<uint64_t>(at_ + count, SIZE_MAX)); }

private:
    std::span<const uint8_t> bytes_;
    size_t at_ = 0;
};

[[noreturn]] void refuse(const std::filesystem::path& file, const std::string& why) {
    throw MediaError("cannot open " + quotedPath(file) + ": damaged header, " + why);
}

// How many bytes OpenEXR itself reads for a value of a type it knows with a fixed layout: it
// reads that many whatever the size field says, so the next attribute starts there.
std::optional<uint64_t> exrFixedLength(const std::string& type) {
    static const std::map<std::string, uint64_t> kLengths = {{"box2i", 16},
                                                             {"box2f", 16},
                                                             {"chromaticities", 32},
                                                             {"compression", 1},
                                                             {"deepImageState", 1},
                                                             {"double", 8},
                                                             {"envmap", 1},
                                                             {"float", 4},
                                                             {"int", 4},
                                                             {"keycode", 28},
                                                             {"lineOrder", 1},
                                                             {"m33d", 72},
                                                             {"m33f", 36},
                                                             {"m44d", 128},
                                                             {"m44f", 64},
                                                             {"rational", 8},
                                                             {"tiledesc", 9},
                                                             {"timecode", 8},
                                                             {"v2d", 16},
                                                             {"v2f", 8},
                                                             {"v2i", 8},
                                                             {"v3d", 24},
                                                             {"v3f", 12},
                                                             {"v3i", 12}};
    const auto found = kLengths.find(type);
    if (found == kLengths.end()) return std::nullopt;
    return found->second;
}

// A channel list is read up to its empty name, whatever its size field says: each entry is a
// name and 16 bytes. Returns false when the list runs past what was read.
bool skipChannelList(ByteReader& in) {
    for (;;) {
        const auto name = in.text();
        if (!name) return false;
        if (name->empty()) return true;
        in.skip(16);
    }
}

// Every attribute's value must fit in the file: those OpenEXR reads by their size field
// (strings, vectors, types it does not know, which it keeps as raw bytes) and the preview
// picture, whose width and height decide what it allocates. Returns true at the header's end,
// false when the header runs past what was read.
bool checkExrAttributes(const std::filesystem::path& file, ByteReader& in, uint64_t fileSize) {
    const auto remaining = [&] { return fileSize - std::min<uint64_t>(in.position(), fileSize); };
    for (;;) {
        const auto name = in.text();
        if (!name) return false;  // past what was read: the library judges the rest
        if (name->empty()) return true;
        const auto type = in.text();
        const auto size = in.u32(false);
        if (!type || !size) return false;
        uint64_t claimed = *size;
        if (*type == "chlist") {
            if (!skipChannelList(in)) return false;
            continue;
        }
        if (const auto fixed = exrFixedLength(*type)) {
            in.skip(*fixed);
            continue;
        }
        if (*type == "preview") {
            const auto width = in.u32(false);
            const auto height = in.u32(false);
            if (!width || !height) return false;
            claimed = uint64_t(*width) * *height * 4;
        }
        if (int32_t(*size) < 0 || claimed > remaining())
            refuse(file, "OpenEXR attribute '" + *name + "' claims " + std::to_string(claimed) +
                             " bytes and " + std::to_string(remaining()) + " follow");
        in.skip(claimed);
    }
}

void checkExr(const std::filesystem::path& file, std::span<const uint8_t> start,
              uint64_t fileSize) {
    ByteReader in(start);
    in.skip(4);  // magic
    const auto version = in.u32(false);
    if (!version) return;
    const bool multipart = (*version & 0x1000) != 0;
    if (!multipart) {
        checkExrAttributes(file, in, fileSize);
        return;
    }
    // Each part's header is checked; the empty header ends the list.
    while (!in.atEnd() && start[in.position()] != 0)
        if (!checkExrAttributes(file, in, fileSize)) return;
}

// DPX's generic header names the length of its user data at byte 32, in the file's byte order.
void checkDpx(const std::filesystem::path& file, std::span<const uint8_t> start,
              uint64_t fileSize) {
    const bool bigEndian = std::memcmp(start.data(), "SDPX", 4) == 0;
    ByteReader in(start);
    in.skip(32);
    const auto userData = in.u32(bigEndian);
    if (!userData || *userData == 0xffffffffu) return;  // all ones: the field is unset
    if (*userData > fileSize)
        refuse(file, "DPX user data claims " + std::to_string(*userData) + " bytes in a file of " +
                         std::to_string(fileSize));
}

}  // namespace

void checkImageHeader(const std::filesystem::path& file, std::span<const uint8_t> start,
                      uint64_t fileSize) {
    if (start.size() < 4) return;
    static constexpr uint8_t kExrMagic[4] = {0x76, 0x2f, 0x31, 0x01};
    if (std::memcmp(start.data(), kExrMagic, 4) == 0) return checkExr(file, start, fileSize);
    if (std::memcmp(start.data(), "SDPX", 4) == 0 || std::memcmp(start.data(), "XPDS", 4) == 0)
        return checkDpx(file, start, fileSize);
}

void checkImageHeader(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return;
    std::error_code error;
    const uint64_t fileSize = std::filesystem::file_size(file, error);
    if (error) return;
    std::vector<uint8_t> start(size_t(std::min<uint64_t>(fileSize, kHeaderReadLimit)));
    in.read(reinterpret_cast<char*>(start.data()), std::streamsize(start.size()));
    start.resize(size_t(in.gcount()));
    checkImageHeader(file, start, fileSize);
}

}  // namespace ruvovav::media
