// Damaged OpenEXR and DPX headers are refused before an image library allocates what they
// claim; sound files, and files of other kinds, pass. A TIFF's strip claims cost no memory.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "media/image_file.h"
#include "media/image_header_check.h"
#include "media/media_error.h"
#include "media/media_reader.h"
#include "media_files.h"

namespace {

namespace fs = std::filesystem;
using namespace ruvovav::media;
using Bytes = std::vector<uint8_t>;

void append(Bytes& out, const std::string& text) {
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}
void appendU32(Bytes& out, uint32_t value, bool bigEndian = false) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(value >> (bigEndian ? 8 * (3 - i) : 8 * i)));
}

// One attribute as the format lays it out: name, type name, little-endian size, value.
void appendAttribute(Bytes& out, const std::string& name, uint32_t claimedSize, size_t realSize) {
    append(out, name);
    append(out, "opaque");
    appendU32(out, claimedSize);
    out.insert(out.end(), realSize, uint8_t(7));
}

Bytes exrStart(uint32_t flags) {
    Bytes out = {0x76, 0x2f, 0x31, 0x01};
    appendU32(out, 2 | flags);
    return out;
}

Bytes dpxHeader(const char* magic, uint32_t userDataSize, bool bigEndian) {
    Bytes out(2048, 0);
    std::memcpy(out.data(), magic, 4);
    for (int i = 0; i < 4; ++i)
        out[size_t(32 + i)] = uint8_t(userDataSize >> (bigEndian ? 8 * (3 - i) : 8 * i));
    return out;
}

bool refused(const Bytes& bytes) {
    try {
        checkImageHeader("x", bytes, bytes.size());
        return false;
    } catch (const MediaError& e) {
        EXPECT_NE(std::string(e.what()).find("'x'"), std::string::npos) << e.what();
        return true;
    }
}

// A single-part header of attributes (name, claimed size, bytes present), ended or not.
Bytes exr(std::initializer_list<std::tuple<const char*, uint32_t, size_t>> attributes, bool ended) {
    Bytes out = exrStart(0);
    for (const auto& [name, claimed, real] : attributes) appendAttribute(out, name, claimed, real);
    if (ended) out.push_back(0);
    return out;
}

TEST(ImageHeaderCheck, ExrAttributeSizesMustFitTheFile) {
    EXPECT_FALSE(refused(exr({{"channels", 18, 18}, {"comment", 0, 0}}, true)));
    EXPECT_TRUE(refused(exr({{"channels", 18, 18}, {"junk", 0x7fff0000u, 4}}, true)));
    EXPECT_TRUE(refused(exr({{"junk", 0xfffffff0u, 4}}, false)));  // negative
    // One byte more than the file holds after the size field.
    EXPECT_TRUE(refused(exr({{"junk", 5, 4}}, false)));
    EXPECT_FALSE(refused(exr({{"junk", 4, 4}}, false)));
}

// OpenEXR reads channel lists up to their empty name and fixed-size values by their type,
// whatever their size fields say; the check must stay in step with it.
TEST(ImageHeaderCheck, ExrValuesAreWalkedAsOpenExrReadsThem) {
    const auto withChannels = [](uint32_t claimedListSize) {
        Bytes out = exrStart(0);
        append(out, "channels");
        append(out, "chlist");
        appendU32(out, claimedListSize);
        append(out, "R");
        out.insert(out.end(), 16, uint8_t(1));
        out.push_back(0);
        return out;
    };
    Bytes hugeString = withChannels(3);  // a wrong size, which OpenEXR ignores
    append(hugeString, "owner");
    append(hugeString, "string");
    appendU32(hugeString, 1u << 30);
    EXPECT_TRUE(refused(hugeString));

    // A box's size field of 10^9 is never used; the string after it is sound.
    Bytes box = withChannels(19);
    append(box, "dataWindow");
    append(box, "box2i");
    appendU32(box, 1000000000u);
    box.insert(box.end(), 16, uint8_t(0));
    appendAttribute(box, "owner", 3, 3);
    box.push_back(0);
    EXPECT_FALSE(refused(box));

    const auto preview = [&](uint32_t width, uint32_t height) {
        Bytes out = withChannels(19);
        append(out, "preview");
        append(out, "preview");
        appendU32(out, 8 + 4 * 4);
        appendU32(out, width);
        appendU32(out, height);
        out.insert(out.end(), 4 * 4, uint8_t(9));
        out.push_back(0);
        return out;
    };
    EXPECT_FALSE(refused(preview(2, 2)));
    EXPECT_TRUE(refused(preview(40000, 40000)));
}

TEST(ImageHeaderCheck, EveryPartOfAMultiPartExrIsChecked) {
    Bytes parts = exrStart(0x1000);
    appendAttribute(parts, "name", 2, 2);
    parts.push_back(0);  // end of the first header
    appendAttribute(parts, "junk", 1u << 30, 8);
    parts.push_back(0);
    parts.push_back(0);  // end of the list
    EXPECT_TRUE(refused(parts));

    // A list cut short inside a name is left to the library, and the walk ends.
    const Bytes cut(parts.begin(), parts.begin() + 10);
    EXPECT_FALSE(refused(cut));

    // Without the multi-part flag the second header is pixel data, not a header.
    Bytes single = parts;
    single[4] = 2;
    single[5] = 0;
    EXPECT_FALSE(refused(single));
}

TEST(ImageHeaderCheck, DpxUserDataMustFitTheFileInEitherByteOrder) {
    EXPECT_TRUE(refused(dpxHeader("SDPX", 1u << 30, true)));
    EXPECT_TRUE(refused(dpxHeader("XPDS", 1u << 30, false)));
    EXPECT_FALSE(refused(dpxHeader("SDPX", 1000, true)));
    // Read in the wrong byte order, 1000 would be 3892510720.
    EXPECT_FALSE(refused(dpxHeader("XPDS", 1000, false)));
    EXPECT_FALSE(refused(dpxHeader("SDPX", 0xffffffffu, true)));  // unset
    EXPECT_FALSE(refused(Bytes{'S', 'D', 'P', 'X'}));             // too short to judge
}

TEST(ImageHeaderCheck, TheReaderRefusesADamagedExrAtOnceAndReadsASoundOne) {
    const media_files::TempFolder dir;
    Picture picture{4, 2, std::vector<float>(4 * 2 * 4, 0.5f)};
    writeImageFile(dir / "sound.exr", picture, {.type = SampleType::Half, .premultiplied = true},
                   true, true);
    EXPECT_EQ(MediaReader::open(dir / "sound.exr")->info().width, 4);

    // Another extension changes nothing: the libraries recognise the file by its content.
    const Bytes damaged = exr({{"junk", 1u << 30, 8}}, true);
    for (const fs::path& file : {dir / "damaged.exr", dir / "damaged.png"}) {
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(damaged.data()), std::streamsize(damaged.size()));
        try {
            MediaReader::open(file);
            ADD_FAILURE() << file << " was opened";
        } catch (const MediaError& e) {
            EXPECT_NE(std::string(e.what()).find("damaged header"), std::string::npos) << e.what();
        }
    }
}

// A grey 16-bit TIFF written by hand, in one PackBits strip, whose header claims
// `rowsPerStrip` rows per strip; the value of pixel (x, y) is greyValue(x, y).
constexpr int kTiffSide = 16;
uint16_t greyValue(int x, int y) {
    return uint16_t((x * 4099 + y * 1031) % 65536);
}

Bytes greyTiff(uint32_t rowsPerStrip) {
    enum : uint16_t { kShort = 3, kLong = 4 };
    const std::vector<std::tuple<uint16_t, uint16_t, uint32_t>> entries = {
        {256, kShort, kTiffSide},  // width
        {257, kShort, kTiffSide},  // height
        {258, kShort, 16},         // bits per sample
        {259, kShort, 32773},      // PackBits: libtiff cuts an uncompressed strip up itself
        {262, kShort, 1},          // black is zero
        {273, kLong, 0},           // strip offset, filled in below
        {277, kShort, 1},          // samples per pixel
        {278, kLong, rowsPerStrip},
        {279, kLong, kTiffSide * (1 + kTiffSide * 2)},  // strip bytes
    };
    const uint32_t dataStart = uint32_t(8 + 2 + entries.size() * 12 + 4);
    Bytes out = {'I', 'I', 42, 0};
    appendU32(out, 8);
    out.push_back(uint8_t(entries.size()));
    out.push_back(0);
    for (auto [tag, type, value] : entries) {
        out.insert(out.end(), {uint8_t(tag), uint8_t(tag >> 8), uint8_t(type), 0, 1, 0, 0, 0});
        appendU32(out, tag == 273 ? dataStart : value);
    }
    appendU32(out, 0);  // no further image
    for (int y = 0; y < kTiffSide; ++y) {
        out.push_back(kTiffSide * 2 - 1);  // each row one literal run of all its bytes
        for (int x = 0; x < kTiffSide; ++x)
            out.insert(out.end(), {uint8_t(greyValue(x, y)), uint8_t(greyValue(x, y) >> 8)});
    }
    return out;
}

// Holds this process's address space to what it maps now plus `headroom`, so that an
// allocation of gigabytes fails instead of passing unnoticed in untouched pages.
class AddressSpaceCap {
public:
    explicit AddressSpaceCap(uint64_t headroom) {
        getrlimit(RLIMIT_AS, &saved_);
        uint64_t pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlimit cap{pages * 4096 + headroom, saved_.rlim_max};
        setrlimit(RLIMIT_AS, &cap);
    }
    ~AddressSpaceCap() { setrlimit(RLIMIT_AS, &saved_); }

private:
    rlimit saved_{};
};

// OpenImageIO converts in chunks rounded up to the rows per strip; read as stored instead, a
// TIFF claiming 67 million of them still reads at its size, with its values.
TEST(ImageHeaderCheck, ATiffClaimingMillionsOfRowsPerStripReadsAtItsSize) {
    const media_files::TempFolder dir;
    const Bytes tiff = greyTiff(67108948);
    std::ofstream(dir / "strips.tif", std::ios::binary)
        .write(reinterpret_cast<const char*>(tiff.data()), std::streamsize(tiff.size()));
    Picture picture;
    {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
        std::printf("address-space cap not applied: the sanitizer maps terabytes of shadow\n");
#else
        const AddressSpaceCap cap(uint64_t(512) << 20);
#endif
        ASSERT_TRUE(MediaReader::open(dir / "strips.tif")->read(0, picture));
    }
    ASSERT_EQ(picture.width, kTiffSide);
    ASSERT_EQ(picture.height, kTiffSide);
    for (int y = 0; y < kTiffSide; ++y)
        for (int x = 0; x < kTiffSide; ++x) {
            const float* rgba = &picture.rgba[size_t(y * kTiffSide + x) * 4];
            const float grey = float(greyValue(x, y)) / 65535.0f;
            for (int c = 0; c < 3; ++c) ASSERT_NEAR(rgba[c], grey, 1e-6f) << x << "," << y;
            ASSERT_EQ(rgba[3], 1.0f);
        }
}

}  // namespace
