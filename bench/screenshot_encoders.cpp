#include "bench/screenshot_encoders.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#ifdef BENCH_HAVE_SPNG
#include <spng.h>
#endif

namespace bench {
namespace {

struct Setting {
    const char* name;
    int level;
    int filters;  // PNG_FILTER_* flags; several: libpng picks per row
    int strategy;
};

void append(png_structp png, png_bytep data, png_size_t length) {
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}
void noFlush(png_structp) {}

std::size_t encodeLibpng(const platform::Bitmap& image, const Setting& s) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::string out;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return 0;
    }
    png_set_write_fn(png, &out, append, noFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, s.level);
    png_set_compression_strategy(png, s.strategy);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, s.filters);
    png_write_info(png, info);
    const std::size_t stride = static_cast<std::size_t>(image.width) * 3;
    for (std::int32_t y = 0; y < image.height; ++y)
        png_write_row(png, const_cast<png_bytep>(image.rgb.data() + stride * static_cast<std::size_t>(y)));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out.size();
}

#ifdef BENCH_HAVE_SPNG
std::size_t encodeSpng(const platform::Bitmap& image, int level, int filters, int strategy) {
    spng_ctx* ctx = spng_ctx_new(SPNG_CTX_ENCODER);
    spng_set_option(ctx, SPNG_ENCODE_TO_BUFFER, 1);
    spng_set_option(ctx, SPNG_IMG_COMPRESSION_LEVEL, level);
    spng_set_option(ctx, SPNG_IMG_COMPRESSION_STRATEGY, strategy);
    spng_set_option(ctx, SPNG_FILTER_CHOICE, filters);
    spng_ihdr ihdr{};
    ihdr.width = static_cast<std::uint32_t>(image.width);
    ihdr.height = static_cast<std::uint32_t>(image.height);
    ihdr.bit_depth = 8;
    ihdr.color_type = SPNG_COLOR_TYPE_TRUECOLOR;
    spng_set_ihdr(ctx, &ihdr);
    std::size_t size = 0;
    if (spng_encode_image(ctx, image.rgb.data(), image.rgb.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE) == 0) {
        int error = 0;
        void* buffer = spng_get_png_buffer(ctx, &size, &error);
        std::free(buffer);
    }
    spng_ctx_free(ctx);
    return size;
}
#endif

template <class F>
double medianMs(int rounds, F run) {
    std::vector<double> ms;
    run();
    for (int i = 0; i < rounds; ++i) {
        auto start = std::chrono::steady_clock::now();
        run();
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

void print(const char* name, double ms, std::size_t bytes, double encodeMs, std::size_t encodeBytes) {
    std::printf("  %-44s %9.2f %11zu   %5.2fx time  %5.2fx size\n", name, ms, bytes, ms / encodeMs,
                static_cast<double>(bytes) / static_cast<double>(encodeBytes));
}

}  // namespace

void compareEncoders(const platform::Bitmap& image, int rounds, double encodeMs, std::size_t encodeBytes) {
    const int all = PNG_FILTER_NONE | PNG_FILTER_SUB | PNG_FILTER_UP | PNG_FILTER_AVG | PNG_FILTER_PAETH;
    const Setting settings[] = {
        {"libpng level 1, no filter", 1, PNG_FILTER_NONE, Z_DEFAULT_STRATEGY},
        {"libpng level 1, Sub", 1, PNG_FILTER_SUB, Z_DEFAULT_STRATEGY},
        {"libpng level 1, Up", 1, PNG_FILTER_UP, Z_DEFAULT_STRATEGY},
        {"libpng level 1, Paeth", 1, PNG_FILTER_PAETH, Z_DEFAULT_STRATEGY},
        {"libpng level 1, every filter (per row)", 1, all, Z_DEFAULT_STRATEGY},
        {"libpng level 1, Sub, RLE", 1, PNG_FILTER_SUB, Z_RLE},
        {"libpng level 1, Up, RLE", 1, PNG_FILTER_UP, Z_RLE},
        {"libpng level 1, no filter, RLE", 1, PNG_FILTER_NONE, Z_RLE},
        {"libpng level 2, Sub", 2, PNG_FILTER_SUB, Z_DEFAULT_STRATEGY},
        {"libpng level 3, Sub", 3, PNG_FILTER_SUB, Z_DEFAULT_STRATEGY},
        {"libpng level 6 (zlib's default), Sub", 6, PNG_FILTER_SUB, Z_DEFAULT_STRATEGY},
    };
    std::printf("  %-44s %9s %11s   against encodePng\n", "encoder setting, same image", "median", "bytes");
    for (const Setting& s : settings) {
        std::size_t bytes = 0;
        double ms = medianMs(rounds, [&] { bytes = encodeLibpng(image, s); });
        print(s.name, ms, bytes, encodeMs, encodeBytes);
    }
#ifdef BENCH_HAVE_SPNG
    struct SpngSetting {
        const char* name;
        int level, filters, strategy;
    };
    const SpngSetting spngSettings[] = {
        {"libspng level 1, Sub", 1, SPNG_FILTER_CHOICE_SUB, Z_DEFAULT_STRATEGY},
        {"libspng level 1, Up", 1, SPNG_FILTER_CHOICE_UP, Z_DEFAULT_STRATEGY},
        {"libspng level 1, Sub, RLE", 1, SPNG_FILTER_CHOICE_SUB, Z_RLE},
        {"libspng level 1, Up, RLE", 1, SPNG_FILTER_CHOICE_UP, Z_RLE},
        {"libspng level 1, no filter, RLE", 1, SPNG_FILTER_CHOICE_NONE, Z_RLE},
    };
    for (const SpngSetting& s : spngSettings) {
        std::size_t bytes = 0;
        double ms = medianMs(rounds, [&] { bytes = encodeSpng(image, s.level, s.filters, s.strategy); });
        print(s.name, ms, bytes, encodeMs, encodeBytes);
    }
#else
    std::printf("  (libspng rows: build with libspng-dev installed)\n");
#endif
}

}  // namespace bench
