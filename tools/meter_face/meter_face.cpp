// Draws the analog VU meter face that the plug-in shows behind its needles
// and writes it as the 24-bit BMP file the plug-in loads. With two more
// paths it also writes the pictures for the README: the face enlarged, and
// the whole VU frame with needles at a few levels.
//
// The output must be the same bytes on every run and every machine set up
// by scripts/install-deps.sh: the numbers come from one font file named at
// build time, never from a font looked up by family name.
#include "face_scale.h"

#include "render/vu_level.h"

#include <cairo-ft.h>
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <stb/stb_image_write.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

struct Colour {
    double r, g, b;
};

constexpr Colour faceLight{0.965, 0.925, 0.800};
constexpr Colour faceEdge{0.900, 0.835, 0.665};
constexpr Colour ink{0.10, 0.09, 0.08};
constexpr Colour red{0.78, 0.12, 0.10};
constexpr Colour legendInk{0.30, 0.27, 0.22};

constexpr double pivotX = meterWidth * 0.5;
constexpr double pivotY = frameHeight - 10;

void setColour(cairo_t *cr, Colour c) { cairo_set_source_rgb(cr, c.r, c.g, c.b); }

// The screen angle of the needle for a level, as Cairo measures angles (from
// +x towards +y): the needle points along (-cos R, -sin R), that is pi + R.
double screenAngle(double level)
{
    const FacePoint tip = pointOnNeedle(level, 1.0);
    return std::atan2(tip.y - pivotY, tip.x - pivotX);
}

void drawBackground(cairo_t *cr)
{
    // Lit from behind the scale, as a meter lamp would light it.
    cairo_pattern_t *light = cairo_pattern_create_radial(pivotX, 30, 8, pivotX, 40, 90);
    cairo_pattern_add_color_stop_rgb(light, 0, faceLight.r, faceLight.g, faceLight.b);
    cairo_pattern_add_color_stop_rgb(light, 1, faceEdge.r, faceEdge.g, faceEdge.b);
    cairo_set_source(cr, light);
    cairo_paint(cr);
    cairo_pattern_destroy(light);
}

void drawScale(cairo_t *cr)
{
    const double first = screenAngle(levelForVu(scaleMarks[0].vu));
    const double zero = screenAngle(levelForVu(0));
    const double last = screenAngle(levelForVu(scaleMarks[scaleMarkCount - 1].vu));

    setColour(cr, red);
    cairo_new_path(cr);
    cairo_arc(cr, pivotX, pivotY, scaleRadius, zero, last);
    cairo_arc_negative(cr, pivotX, pivotY, redBandInnerRadius, last, zero);
    cairo_close_path(cr);
    cairo_fill(cr);

    setColour(cr, ink);
    cairo_set_line_width(cr, 0.9);
    cairo_new_path(cr);
    cairo_arc(cr, pivotX, pivotY, scaleRadius, first, last);
    cairo_stroke(cr);

    for (const ScaleMark &mark : scaleMarks) {
        const double level = levelForVu(mark.vu);
        const FacePoint inner = pointOnNeedle(level, scaleRadius);
        const FacePoint outer =
            pointOnNeedle(level, mark.kind == MarkKind::major ? majorTickRadius : minorTickRadius);
        setColour(cr, mark.vu > 0 ? red : ink);
        cairo_set_line_width(cr, mark.kind == MarkKind::major ? 1.1 : 0.8);
        cairo_move_to(cr, inner.x, inner.y);
        cairo_line_to(cr, outer.x, outer.y);
        cairo_stroke(cr);
    }
}

// Centres the text's ink on a point, with the baseline on a whole pixel so
// the digits' flat tops and feet stay sharp.
void drawCentred(cairo_t *cr, const char *text, FacePoint at)
{
    cairo_text_extents_t box;
    cairo_text_extents(cr, text, &box);
    const double x = at.x - (box.x_bearing + box.width / 2);
    const double y = std::round(at.y - (box.y_bearing + box.height / 2));
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, text);
}

void drawNumbers(cairo_t *cr, cairo_font_face_t *font)
{
    cairo_set_font_face(cr, font);
    cairo_set_font_size(cr, 7.5);
    for (const ScaleMark &mark : scaleMarks) {
        if (!mark.label) continue;
        setColour(cr, mark.vu > 0 ? red : ink);
        drawCentred(cr, mark.label, pointOnNeedle(levelForVu(mark.vu), labelRadius));
    }
    // The signs stand beyond the scale's ends, as on a meter.
    cairo_set_font_size(cr, 9.0);
    setColour(cr, ink);
    drawCentred(cr, "\xE2\x88\x92", {11, 50});
    setColour(cr, red);
    drawCentred(cr, "+", {126, 50});
}

void drawLegend(cairo_t *cr, cairo_font_face_t *font)
{
    cairo_set_font_face(cr, font);
    cairo_set_font_size(cr, 13.0);
    setColour(cr, legendInk);
    drawCentred(cr, "VU", {pivotX, 40});
}

struct Rgb {
    std::vector<unsigned char> bytes;  // top row first, 3 bytes a pixel
    int width, height;
};

Rgb toRgb(cairo_surface_t *surface)
{
    cairo_surface_flush(surface);
    const int width = cairo_image_surface_get_width(surface);
    const int height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char *data = cairo_image_surface_get_data(surface);
    Rgb out{std::vector<unsigned char>(static_cast<size_t>(width) * height * 3), width, height};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint32_t pixel;
            std::memcpy(&pixel, data + y * stride + x * 4, 4);
            unsigned char *p = &out.bytes[(static_cast<size_t>(y) * width + x) * 3];
            p[0] = static_cast<unsigned char>(pixel >> 16);
            p[1] = static_cast<unsigned char>(pixel >> 8);
            p[2] = static_cast<unsigned char>(pixel);
        }
    }
    return out;
}

cairo_surface_t *drawFace(cairo_font_face_t *font)
{
    cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, meterWidth, frameHeight);
    cairo_t *cr = cairo_create(surface);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_t *options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    // Fully hinted glyphs: at five pixels a digit, unhinted stems smear into
    // grey and the numbers stop reading as printed ones.
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_FULL);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);

    drawBackground(cr);
    drawLegend(cr, font);
    drawScale(cr);
    drawNumbers(cr, font);

    cairo_destroy(cr);
    return surface;
}

// Nearest-neighbour enlargement, so the README shows the pixels as they are.
Rgb enlarged(const Rgb &image, int factor)
{
    Rgb out{std::vector<unsigned char>(image.bytes.size() * factor * factor), image.width * factor,
            image.height * factor};
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x)
            std::memcpy(&out.bytes[(static_cast<size_t>(y) * out.width + x) * 3],
                        &image.bytes[(static_cast<size_t>(y / factor) * image.width + x / factor) * 3], 3);
    return out;
}

// The VU frame as the plug-in composes it: the face twice, the outline, the
// divider, and a needle on each face from the level model.
Rgb frameWithNeedles(cairo_surface_t *face, double leftVu, double rightVu)
{
    const int width = 2 * meterWidth + 1;
    cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, frameHeight);
    cairo_t *cr = cairo_create(surface);
    cairo_set_source_surface(cr, face, 0, 0);
    cairo_paint(cr);
    cairo_set_source_surface(cr, face, meterWidth + 1, 0);
    cairo_paint(cr);

    // One-pixel black lines between pixel centres: the plug-in's needles,
    // outline and divider, near enough for a picture.
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_line_width(cr, 1.0);
    cairo_rectangle(cr, 0.5, 0.5, width - 1, frameHeight - 1);
    cairo_move_to(cr, meterWidth + 0.5, 0);
    cairo_line_to(cr, meterWidth + 0.5, frameHeight);
    const double vus[2] = {leftVu, rightVu};
    for (int channel = 0; channel < 2; ++channel) {
        const NeedleLine line = needleLineForLevel(channel, levelForVu(vus[channel]));
        cairo_move_to(cr, line.pivotX + 0.5, line.pivotY + 0.5);
        cairo_line_to(cr, line.endX + 0.5, line.endY + 0.5);
    }
    cairo_stroke(cr);
    cairo_destroy(cr);

    const Rgb frame = toRgb(surface);
    cairo_surface_destroy(surface);
    return frame;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr, "usage: %s face.bmp [face.png frame.png]\n", argv[0]);
        return 2;
    }

    // Cairo may keep a font face in its caches after the last reference is
    // gone, so the FreeType face and library are left to the program's end.
    FT_Library library;
    FT_Face ftFace;
    if (FT_Init_FreeType(&library) != 0 || FT_New_Face(library, VLVIS_FACE_FONT, 0, &ftFace) != 0) {
        std::fprintf(stderr, "cannot load the font %s\n", VLVIS_FACE_FONT);
        return 1;
    }
    cairo_font_face_t *font = cairo_ft_font_face_create_for_ft_face(ftFace, 0);
    cairo_surface_t *face = drawFace(font);
    const Rgb pixels = toRgb(face);

    int ok = stbi_write_bmp(argv[1], pixels.width, pixels.height, 3, pixels.bytes.data());
    if (ok && argc == 4) {
        const Rgb big = enlarged(pixels, 4);
        ok = stbi_write_png(argv[2], big.width, big.height, 3, big.bytes.data(), big.width * 3);
        const Rgb frame = enlarged(frameWithNeedles(face, -5, 2), 3);
        ok = ok && stbi_write_png(argv[3], frame.width, frame.height, 3, frame.bytes.data(), frame.width * 3);
    }

    cairo_surface_destroy(face);
    cairo_font_face_destroy(font);
    if (!ok) {
        std::fprintf(stderr, "cannot write the pictures\n");
        return 1;
    }
    return 0;
}
