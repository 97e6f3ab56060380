// The committed meter face: its file layout, and whether its scale reads true
// for the needle. The scale's geometry (pointOnNeedle, levelForVu) is first
// checked against the level model's worked numbers; the marks' positions it
// gives are then looked up in the face's pixels.
#include "face_scale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int faceWidth = 137;
constexpr int faceHeight = 75;
constexpr int rowBytes = 412;  // 137 x 3 = 411, padded to a multiple of 4
constexpr double centreX = 68.5;
constexpr double centreY = 65.0;

std::vector<unsigned char> committedFace()
{
    std::ifstream in(VLVIS_FACE_BMP, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t u32(const std::vector<unsigned char> &b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
int32_t s32(const std::vector<unsigned char> &b, size_t at) { return static_cast<int32_t>(u32(b, at)); }
int u16(const std::vector<unsigned char> &b, size_t at) { return b[at] | b[at + 1] << 8; }

struct Spot {
    double x, y;
};

Spot alongNeedle(double vu, double r)
{
    const FacePoint point = pointOnNeedle(levelForVu(vu), r);
    return {point.x, point.y};
}

// The unit vector across the needle's line (a quarter turn from along it).
Spot acrossNeedle(double vu)
{
    const Spot inner = alongNeedle(vu, 0), outer = alongNeedle(vu, 1);
    return {inner.y - outer.y, outer.x - inner.x};
}

class Face {
public:
    explicit Face(std::vector<unsigned char> bytes) : bytes_(std::move(bytes)) {}

    // Luminance of pixel (x, y), y counted from the top; the file is bottom-up.
    double luminance(int x, int y) const
    {
        const unsigned char *p = &bytes_[54 + static_cast<size_t>(faceHeight - 1 - y) * rowBytes + x * 3];
        return 0.0722 * p[0] + 0.7152 * p[1] + 0.2126 * p[2];
    }

    bool isRed(int x, int y) const
    {
        const unsigned char *p = &bytes_[54 + static_cast<size_t>(faceHeight - 1 - y) * rowBytes + x * 3];
        return p[2] > 150 && p[1] < 90 && p[0] < 90;
    }

    // Bilinear, with pixel (x, y) covering [x, x + 1) x [y, y + 1).
    double luminanceAt(Spot s) const
    {
        const double fx = s.x - 0.5, fy = s.y - 0.5;
        const int x = static_cast<int>(std::floor(fx)), y = static_cast<int>(std::floor(fy));
        const double ax = fx - x, ay = fy - y;
        return (1 - ay) * ((1 - ax) * luminance(x, y) + ax * luminance(x + 1, y)) +
               ay * ((1 - ax) * luminance(x, y + 1) + ax * luminance(x + 1, y + 1));
    }

private:
    std::vector<unsigned char> bytes_;
};

TEST(MeterFaceFile, HeadersDescribeA137By75TwentyFourBitBottomUpFace)
{
    const std::vector<unsigned char> b = committedFace();
    ASSERT_EQ(b.size(), 30954u);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(u32(b, 2), 30954u) << "bfSize";
    EXPECT_EQ(u32(b, 6), 0u) << "bfReserved1 and 2";
    EXPECT_EQ(u32(b, 10), 54u) << "bfOffBits: the pixels follow the info header at once";
    EXPECT_EQ(u32(b, 14), 40u) << "biSize";
    EXPECT_EQ(s32(b, 18), 137) << "biWidth";
    EXPECT_EQ(s32(b, 22), 75) << "biHeight, positive: bottom-up";
    EXPECT_EQ(u16(b, 26), 1) << "biPlanes";
    EXPECT_EQ(u16(b, 28), 24) << "biBitCount";
    EXPECT_EQ(u32(b, 30), 0u) << "biCompression: BI_RGB";
    EXPECT_EQ(u32(b, 46), 0u) << "biClrUsed";
    // bfSize - bfOffBits is what the loader reads as pixels: 75 rows of 412.
    EXPECT_EQ(u32(b, 2) - u32(b, 10), 75u * rowBytes);
    for (int row = 0; row < faceHeight; ++row)
        EXPECT_EQ(b[54 + row * rowBytes + 411], 0) << "padding byte of row " << row;
}

// At the needle's length the points are the worked end points, upright
// included; the stops are at the worked levels; and a full-scale sine (its
// mean absolute value 2/pi of its peak, 128) reads about +14 VU.
TEST(MeterFaceScale, GeometryMatchesTheWorkedNeedleNumbers)
{
    const struct {
        double level;
        int x, y;
    } worked[] = {{-34.925, 16, 45}, {5.79275, 56, 11}, {2.74792, 41, 16}, {-0.00208, 29, 25},
                  {21.0646, 120, 46}, {9.99245, 79, 11}, {7.9464, 68, 10}};
    for (const auto &row : worked) {
        const FacePoint end = pointOnNeedle(row.level, 55);
        EXPECT_EQ(static_cast<int>(end.x), row.x) << row.level << " dB";
        EXPECT_EQ(static_cast<int>(end.y), row.y) << row.level << " dB";
    }
    EXPECT_NEAR(levelForVu(-33.07), -4.4643, 0.005) << "the lower stop";
    EXPECT_NEAR(levelForVu(16.75), 20.4464, 0.005) << "the upper stop";
    EXPECT_NEAR(levelForVu(14.0), 10 * std::log10(128 * 2 / 3.14159265358979), 0.05) << "a full-scale sine";
}

TEST(MeterFaceScale, MarksRiseWithinTheTravelAndSpanMostOfIt)
{
    // Past either stop a mark would be a lie: the needle could never point
    // at it, it would rest on the stop instead.
    const double lowestVu = -33.07, highestVu = 16.75;
    double previous = -1e9;
    for (const ScaleMark &mark : scaleMarks) {
        EXPECT_GT(mark.vu, previous);
        EXPECT_GT(mark.vu, lowestVu);
        EXPECT_LT(mark.vu, highestVu);
        previous = mark.vu;
    }
    const double marked = scaleMarks[scaleMarkCount - 1].vu - scaleMarks[0].vu;
    EXPECT_GE(marked / (highestVu - lowestVu), 0.85);
}

TEST(MeterFaceScale, LabelsReadTheirMarksWithoutSignAndDoNotCrowd)
{
    Spot previous{-100, -100};
    for (const ScaleMark &mark : scaleMarks) {
        if (mark.kind == MarkKind::minor) {
            EXPECT_EQ(mark.label, nullptr) << mark.vu;
            continue;
        }
        ASSERT_NE(mark.label, nullptr) << mark.vu;
        EXPECT_EQ(std::string(mark.label), std::to_string(std::abs(static_cast<int>(mark.vu))));
        const Spot at = alongNeedle(mark.vu, labelRadius);
        EXPECT_GE(std::hypot(at.x - previous.x, at.y - previous.y), 12.0) << "label of " << mark.vu << " VU";
        previous = at;
    }
}

TEST(MeterFaceScale, TheNeedleCrossesEveryTickAndStopsShortOfTheNumbers)
{
    EXPECT_LT(majorTickRadius, 55.0);
    EXPECT_GE(labelRadius - 55.0, 4.0);  // half a number's height and a pixel to spare
}

// Darkness against bare face, weighted across the needle line along the
// tick's outer part: its centre must fall on the line.
TEST(MeterFacePixels, EveryTickIsDrawnOnTheNeedleLineForItsLevel)
{
    const Face face(committedFace());
    for (const ScaleMark &mark : scaleMarks) {
        const Spot across = acrossNeedle(mark.vu);
        const double tickEnd = mark.kind == MarkKind::major ? majorTickRadius : minorTickRadius;
        // Bare face on the same line, inside the scale; ticks crowd too
        // closely near 0 VU to find it beside them.
        const double background = face.luminanceAt(alongNeedle(mark.vu, redBandInnerRadius - 3));
        double weight = 0, moment = 0, darkest = 0;
        for (double r = scaleRadius + 1.5; r <= tickEnd - 0.5; r += 0.5) {
            const Spot on = alongNeedle(mark.vu, r);
            for (double d = -1.2; d <= 1.2001; d += 0.1) {
                const double dark =
                    std::max(0.0, background - face.luminanceAt({on.x + d * across.x, on.y + d * across.y}));
                weight += dark;
                moment += dark * d;
                darkest = std::max(darkest, dark);
            }
        }
        ASSERT_GT(weight, 0) << mark.vu << " VU: no tick";
        EXPECT_GT(darkest, 50) << mark.vu << " VU: tick too faint";
        EXPECT_LT(std::abs(moment / weight), 0.3) << mark.vu << " VU: tick off the needle line";
    }
}

TEST(MeterFacePixels, EveryNumberIsCentredOnTheNeedleLineForItsLevel)
{
    const Face face(committedFace());
    for (const ScaleMark &mark : scaleMarks) {
        if (!mark.label) continue;
        const Spot expected = alongNeedle(mark.vu, labelRadius);
        // The ink box of the number: dark or red pixels near the expected
        // centre, beyond the ticks.
        int left = faceWidth, right = -1, top = faceHeight, bottom = -1;
        for (int y = static_cast<int>(expected.y) - 5; y <= static_cast<int>(expected.y) + 5; ++y) {
            for (int x = static_cast<int>(expected.x) - 7; x <= static_cast<int>(expected.x) + 7; ++x) {
                if (x < 0 || y < 0 || x >= faceWidth || y >= faceHeight) continue;
                if (std::hypot(x + 0.5 - centreX, y + 0.5 - centreY) < majorTickRadius + 1.5) continue;
                if (face.luminance(x, y) > 140 && !face.isRed(x, y)) continue;
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
        }
        ASSERT_GE(right, left) << mark.vu << " VU: no number";
        const Spot centre{(left + right + 1) / 2.0, (top + bottom + 1) / 2.0};
        const Spot across = acrossNeedle(mark.vu);
        const double offLine = (centre.x - expected.x) * across.x + (centre.y - expected.y) * across.y;
        const double radius = std::hypot(centre.x - centreX, centre.y - centreY);
        EXPECT_LT(std::abs(offLine), 1.0) << mark.label << " (" << mark.vu << " VU) is off the needle line";
        EXPECT_NEAR(radius, labelRadius, 1.0) << mark.label << " (" << mark.vu << " VU)";
        EXPECT_LE(bottom - top + 1, 7) << mark.label << ": the box took in more than the number";
    }
}

TEST(MeterFacePixels, TheRedZoneRunsFromZeroVuToTheLastMark)
{
    const Face face(committedFace());
    const double band = (redBandInnerRadius + scaleRadius) / 2;
    const double last = scaleMarks[scaleMarkCount - 1].vu;
    for (double vu = scaleMarks[0].vu; vu <= last; vu += 0.25) {
        const Spot s = alongNeedle(vu, band);
        const bool red = face.isRed(static_cast<int>(s.x), static_cast<int>(s.y));
        if (vu < -0.5) {
            EXPECT_FALSE(red) << vu << " VU";
        } else if (vu > 0.5 && vu < last - 0.5) {
            EXPECT_TRUE(red) << vu << " VU";
        }
    }
}

// A black one-pixel needle must stand out wherever it can lie: nothing in
// its sweep inside the red band is dark, and the pivot stands on bare face.
TEST(MeterFacePixels, TheNeedleSweepAndThePivotStayLight)
{
    const Face face(committedFace());
    for (int y = 1; y < faceHeight - 1; ++y) {
        for (int x = 1; x < faceWidth - 1; ++x) {
            const double dx = x + 0.5 - centreX, dy = y + 0.5 - centreY;
            const double r = std::hypot(dx, dy);
            if (r < 6) {
                EXPECT_GT(face.luminance(x, y), 200) << "near the pivot at " << x << ", " << y;
            } else if (r < redBandInnerRadius - 1 && dy < 0) {
                EXPECT_GT(face.luminance(x, y), 60) << "in the sweep at " << x << ", " << y;
            }
        }
    }
}

}  // namespace
