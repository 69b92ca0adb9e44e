#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/PictureDecoder.h"

namespace tovik {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

struct Case {
    std::string picture, reference;
    int width, height;
};

// Written at build time by picture_cases.py: each picture beside the pixels PIL decodes from it.
std::vector<Case> Cases() {
    std::ifstream list(TOVIK_PICTURE_CASES "/cases.txt");
    std::vector<Case> cases;
    for (Case c; list >> c.picture >> c.reference >> c.width >> c.height;) cases.push_back(c);
    return cases;
}

// Pixel for pixel what the usual decoder shows: the pictures must look as they always have.
TEST(PictureDecoder, DecodesEveryPictureExactlyAsTheIjgLibraryDoes) {
    const auto cases = Cases();
    ASSERT_EQ(cases.size(), 25u);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.picture);
        DecodedPicture picture;
        ASSERT_TRUE(DecodePicture(ReadFile(c.picture), picture));
        ASSERT_EQ(picture.width, c.width);
        ASSERT_EQ(picture.height, c.height);
        const Bytes expected = ReadFile(c.reference);
        ASSERT_EQ(expected.size(), 4u * picture.pixels.size());
        int wrong = 0;
        for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
            const std::uint8_t* want = &expected[4 * i];
            const std::uint32_t rgb = (want[0] << 16) | (want[1] << 8) | want[2];
            const bool clear = !picture.transparent.empty() && picture.transparent[i];
            wrong += picture.pixels[i] != rgb || clear != (want[3] == 1);
        }
        EXPECT_EQ(wrong, 0);
        if (c.picture.ends_with("face_disabled.gif") || c.picture.ends_with(".jpg")) {
            EXPECT_TRUE(picture.transparent.empty()) << "an opaque picture needs no mask";
        }
    }
}

// The faces keep their four corners transparent, which is what the mask is drawn from.
TEST(PictureDecoder, TheNormalFaceIsTransparentAtItsFourCornersOnly) {
    DecodedPicture face;
    ASSERT_TRUE(DecodePicture(ReadFile(TOVIK_RES_DIR "/face_normal.gif"), face));
    std::vector<int> clear;
    for (std::size_t i = 0; i < face.transparent.size(); ++i) {
        if (face.transparent[i]) clear.push_back(static_cast<int>(i));
    }
    EXPECT_EQ(clear, (std::vector<int>{0, 49, 50 * 21, 50 * 22 - 1}));
    EXPECT_EQ(face.pixels[0], 0u) << "transparent pixels add nothing when ORed in";
}

// A resource cut short or damaged draws nothing rather than garbage or a crash; files the
// decoder does not take (progressive JPEG, PNG) are refused. The last bytes of each file (a
// JPEG's end marker, a GIF's end code, terminator and trailer) are not needed for the picture.
TEST(PictureDecoder, RefusesBrokenAndUnsupportedFiles) {
    for (const char* name : {"/banner.jpg", "/about.jpg", "/face_hover.gif"}) {
        const Bytes whole = ReadFile(std::string(TOVIK_RES_DIR) + name);
        for (std::size_t size = 0; size + 4 < whole.size(); size += 5) {
            DecodedPicture picture;
            EXPECT_FALSE(DecodePicture(Bytes(whole.begin(), whole.begin() + size), picture))
                << name << " cut to " << size << " bytes";
        }
        for (std::size_t at = 0; at < whole.size(); at += 11) {
            Bytes damaged = whole;
            damaged[at] ^= 0x5A;
            DecodedPicture picture;
            DecodePicture(damaged, picture);  // either way, no crash
        }
    }
    DecodedPicture picture;
    EXPECT_FALSE(DecodePicture(ReadFile(TOVIK_PICTURE_CASES "/progressive.jpg"), picture));
    const Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    EXPECT_FALSE(DecodePicture(png, picture));
}

}  // namespace
}  // namespace tovik
