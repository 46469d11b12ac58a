/* The C interface as a C program sees it: a page of the project's writer and
 * a corpus page rendered through it, and hostile arguments refused.
 * Usage: emf_c_api_test SAMPLE_PAGE2.emf SHARED_DIR */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "scrivlet_emf.h"

static int failures = 0;

#define CHECK(cond)                                                                                  \
    do {                                                                                             \
        if (!(cond)) {                                                                               \
            fprintf(stderr, "%s:%d: check failed: %s (last error: %s)\n", __FILE__, __LINE__, #cond, \
                    scrivlet_emf_last_error());                                                      \
            ++failures;                                                                              \
        }                                                                                            \
    } while (0)

static unsigned char* read_all(const char* path, size_t* size) {
    FILE* f = fopen(path, "rb");
    unsigned char* bytes = NULL;
    long length;
    if (f == NULL)
        return NULL;
    if (fseek(f, 0, SEEK_END) == 0 && (length = ftell(f)) > 0 && fseek(f, 0, SEEK_SET) == 0) {
        bytes = (unsigned char*)malloc((size_t)length);
        if (bytes != NULL && fread(bytes, 1, (size_t)length, f) != (size_t)length) {
            free(bytes);
            bytes = NULL;
        }
        *size = (size_t)length;
    }
    fclose(f);
    return bytes;
}

static const unsigned char* pixel(const unsigned char* rgba, uint32_t width, uint32_t x, uint32_t y) {
    return rgba + ((size_t)y * width + x) * 4;
}

static int pixel_is(const unsigned char* p, int r, int g, int b) {
    return p[0] == r && p[1] == g && p[2] == b && p[3] == 255;
}

/* The chart page of the demonstration (A4, 794 x 1123 reference pixels):
 * at 96 dpi its pixels are the reference device's. */
static void sample_page(const char* path) {
    scrivlet_emf* emf = NULL;
    uint32_t width = 0, height = 0;
    double wmm = 0, hmm = 0;
    unsigned char *page, *strip;
    size_t stride, y;
    scrivlet_emf_report report;

    CHECK(scrivlet_emf_open_file(path, &emf) == SCRIVLET_EMF_OK);
    if (emf == NULL)
        return;
    CHECK(scrivlet_emf_page_size_mm(emf, &wmm, &hmm) == SCRIVLET_EMF_OK);
    CHECK(wmm == 210.0 && hmm == 297.0);
    CHECK(scrivlet_emf_pixel_size(emf, 96, &width, &height) == SCRIVLET_EMF_OK);
    CHECK(width == 794 && height == 1123);
    stride = (size_t)width * 4;
    page = (unsigned char*)malloc(stride * height);
    strip = (unsigned char*)malloc(stride * 50);
    CHECK(page != NULL && strip != NULL);
    if (page != NULL && strip != NULL) {
        CHECK(scrivlet_emf_render(emf, 96, 0, height, page, stride, stride * height) == SCRIVLET_EMF_OK);
        CHECK(pixel_is(pixel(page, width, 5, 5), 255, 255, 255));      /* the margin */
        CHECK(pixel_is(pixel(page, width, 175, 440), 66, 114, 196));   /* the North bar */
        CHECK(pixel_is(pixel(page, width, 395, 400), 112, 173, 71));   /* the South bar */
        CHECK(pixel_is(pixel(page, width, 785, 1115), 255, 255, 255)); /* the far corner */
        CHECK(scrivlet_emf_get_report(emf, &report) == SCRIVLET_EMF_OK);
        CHECK(report.records_played > 10 && report.drawing_records > 5);
        CHECK(report.malformed_records == 0 && report.truncated == 0 && report.cut == 0);

        /* A strip is the page's own rows, wherever it starts. */
        CHECK(scrivlet_emf_render(emf, 96, 377, 50, strip, stride, stride * 50) == SCRIVLET_EMF_OK);
        for (y = 0; y < 50; ++y) CHECK(memcmp(strip + y * stride, page + (377 + y) * stride, stride) == 0);
        /* The last rows of the page, the last one without a whole stride. */
        CHECK(scrivlet_emf_render(emf, 96, height - 2, 2, strip, stride + 8, stride + 8 + stride) ==
              SCRIVLET_EMF_OK);
        CHECK(memcmp(strip + stride + 8, page + (size_t)(height - 1) * stride, stride) == 0);

        /* Buffers and rows that do not fit write nothing. */
        memset(strip, 0xAB, stride * 50);
        CHECK(scrivlet_emf_render(emf, 96, 0, 50, strip, stride, stride * 50 - 1) ==
              SCRIVLET_EMF_ERROR_BUFFER);
        CHECK(scrivlet_emf_render(emf, 96, 0, 2, strip, stride - 4, stride * 50) ==
              SCRIVLET_EMF_ERROR_BUFFER);
        CHECK(scrivlet_emf_render(emf, 96, height - 1, 2, strip, stride, stride * 50) ==
              SCRIVLET_EMF_ERROR_ARGUMENT);
        CHECK(scrivlet_emf_render(emf, 96, height, 1, strip, stride, stride * 50) ==
              SCRIVLET_EMF_ERROR_ARGUMENT);
        CHECK(scrivlet_emf_render(emf, 96, 0, 0, strip, stride, stride * 50) == SCRIVLET_EMF_ERROR_ARGUMENT);
        CHECK(scrivlet_emf_render(emf, 96, 0, 1, strip, (size_t)-1, (size_t)-1) == SCRIVLET_EMF_OK);
        CHECK(scrivlet_emf_render(emf, 96, 0, 3, strip, (size_t)-1 / 2, (size_t)-1) ==
              SCRIVLET_EMF_ERROR_BUFFER);
        CHECK(strlen(scrivlet_emf_last_error()) > 0);
        CHECK(strip[stride * 2] == 0xAB);
        /* Resolutions that are no numbers or no page. */
        CHECK(scrivlet_emf_render(emf, 0, 0, 1, strip, stride, stride * 50) == SCRIVLET_EMF_ERROR_ARGUMENT);
        CHECK(scrivlet_emf_render(emf, -96, 0, 1, strip, stride, stride * 50) == SCRIVLET_EMF_ERROR_ARGUMENT);
        CHECK(scrivlet_emf_pixel_size(emf, INFINITY, &width, &height) == SCRIVLET_EMF_ERROR_ARGUMENT);
        CHECK(scrivlet_emf_pixel_size(emf, 90000, &width, &height) == SCRIVLET_EMF_ERROR_SIZE);
    }
    free(page);
    free(strip);
    scrivlet_emf_close(emf);
}

static void set32(unsigned char* at, uint32_t value) {
    at[0] = (unsigned char)value;
    at[1] = (unsigned char)(value >> 8);
    at[2] = (unsigned char)(value >> 16);
    at[3] = (unsigned char)(value >> 24);
}

/* Damaged bytes give an error or a page that plays; never a crash. */
static void hostile(const char* path) {
    size_t size = 0, i;
    unsigned char* bytes = read_all(path, &size);
    unsigned char* copy;
    scrivlet_emf* emf = (scrivlet_emf*)&size; /* overwritten with NULL on failure */
    uint32_t width = 0, height = 0;
    double wmm, hmm;
    unsigned char buffer[64];
    scrivlet_emf_report report;
    static const size_t cuts[] = {0, 1, 8, 20, 87, 88, 100};

    CHECK(bytes != NULL && size > 200);
    if (bytes == NULL)
        return;
    /* NULL pointers. */
    CHECK(scrivlet_emf_open_memory(NULL, 10, &emf) == SCRIVLET_EMF_ERROR_ARGUMENT && emf == NULL);
    CHECK(scrivlet_emf_open_memory(bytes, size, NULL) == SCRIVLET_EMF_ERROR_ARGUMENT);
    CHECK(scrivlet_emf_open_file(NULL, &emf) == SCRIVLET_EMF_ERROR_ARGUMENT);
    CHECK(scrivlet_emf_open_file(path, NULL) == SCRIVLET_EMF_ERROR_ARGUMENT);
    CHECK(scrivlet_emf_page_size_mm(NULL, &wmm, &hmm) == SCRIVLET_EMF_ERROR_ARGUMENT);
    CHECK(scrivlet_emf_pixel_size(NULL, 96, &width, &height) == SCRIVLET_EMF_ERROR_ARGUMENT);
    CHECK(scrivlet_emf_render(NULL, 96, 0, 1, buffer, 16, sizeof buffer) == SCRIVLET_EMF_ERROR_ARGUMENT);
    CHECK(scrivlet_emf_get_report(NULL, &report) == SCRIVLET_EMF_ERROR_ARGUMENT);
    CHECK(scrivlet_emf_report_text(NULL) == NULL);
    scrivlet_emf_close(NULL);
    /* Files that are no metafile. */
    CHECK(scrivlet_emf_open_file("/nonexistent/page.emf", &emf) == SCRIVLET_EMF_ERROR_IO && emf == NULL);
    CHECK(scrivlet_emf_open_file("/", &emf) != SCRIVLET_EMF_OK && emf == NULL);
    CHECK(scrivlet_emf_open_memory("", 0, &emf) == SCRIVLET_EMF_ERROR_FORMAT && emf == NULL);
    for (i = 0; i < sizeof cuts / sizeof cuts[0]; ++i) {
        CHECK(scrivlet_emf_open_memory(bytes, cuts[i], &emf) == SCRIVLET_EMF_ERROR_FORMAT);
        CHECK(emf == NULL);
    }

    copy = (unsigned char*)malloc(size);
    if (copy == NULL)
        return;
    /* A frame of two billion hundredths of a millimetre: a page too large. */
    memcpy(copy, bytes, size);
    set32(copy + 32, 0x7FFFFFFFu);
    if (scrivlet_emf_open_memory(copy, size, &emf) == SCRIVLET_EMF_OK) {
        CHECK(scrivlet_emf_pixel_size(emf, 96, &width, &height) == SCRIVLET_EMF_ERROR_SIZE);
        CHECK(scrivlet_emf_render(emf, 96, 0, 1, buffer, 16, sizeof buffer) == SCRIVLET_EMF_ERROR_SIZE);
        scrivlet_emf_close(emf);
    }
    /* A file size and record sizes claiming four gigabytes; a truncated
     * page keeps the records before the cut. */
    for (i = 0; i < 3; ++i) {
        memcpy(copy, bytes, size);
        if (i == 0)
            set32(copy + 48, 0xFFFFFFFFu); /* nBytes */
        else if (i == 1)
            set32(copy + 4, 0xFFFFFFF0u); /* the header's size */
        else
            set32(copy + 108 + 4, 0xFFFFFFF0u); /* the record after a 108-byte header */
        emf = NULL;
        if (scrivlet_emf_open_memory(copy, size, &emf) == SCRIVLET_EMF_OK) {
            unsigned char* rgba;
            CHECK(scrivlet_emf_pixel_size(emf, 10, &width, &height) == SCRIVLET_EMF_OK);
            rgba = (unsigned char*)malloc((size_t)width * height * 4);
            if (rgba != NULL)
                CHECK(scrivlet_emf_render(emf, 10, 0, height, rgba, (size_t)width * 4,
                                          (size_t)width * height * 4) == SCRIVLET_EMF_OK);
            free(rgba);
            scrivlet_emf_close(emf);
        } else {
            CHECK(emf == NULL && strlen(scrivlet_emf_last_error()) > 0);
        }
    }
    memcpy(copy, bytes, size / 2);
    CHECK(scrivlet_emf_open_memory(copy, size / 2, &emf) == SCRIVLET_EMF_OK);
    if (emf != NULL) {
        unsigned char* rgba = (unsigned char*)malloc(80 * 120 * 4);
        CHECK(scrivlet_emf_pixel_size(emf, 9.6, &width, &height) == SCRIVLET_EMF_OK && width == 80 &&
              height == 113);
        if (rgba != NULL)
            CHECK(scrivlet_emf_render(emf, 9.6, 0, height, rgba, 80 * 4, 80 * 120 * 4) == SCRIVLET_EMF_OK);
        CHECK(scrivlet_emf_get_report(emf, &report) == SCRIVLET_EMF_OK && report.truncated == 1);
        CHECK(strlen(scrivlet_emf_report_text(emf)) > 0);
        free(rgba);
        scrivlet_emf_close(emf);
    }
    free(copy);
    free(bytes);
}

/* The width and height of a PNG file, from its header chunk. */
static int png_size(const char* path, uint32_t* width, uint32_t* height) {
    unsigned char head[24];
    FILE* f = fopen(path, "rb");
    int ok;
    if (f == NULL)
        return 0;
    ok = fread(head, 1, sizeof head, f) == sizeof head && memcmp(head + 12, "IHDR", 4) == 0;
    fclose(f);
    if (ok) {
        *width = (uint32_t)head[16] << 24 | (uint32_t)head[17] << 16 | (uint32_t)head[18] << 8 | head[19];
        *height = (uint32_t)head[20] << 24 | (uint32_t)head[21] << 16 | (uint32_t)head[22] << 8 | head[23];
    }
    return ok;
}

/* A corpus page at 96 dpi has its reference rendering's size, and ink. */
static void corpus_page(const char* shared) {
    char page[4096], reference[4096];
    scrivlet_emf* emf = NULL;
    uint32_t width = 0, height = 0, ref_width = 0, ref_height = 0;
    unsigned char* rgba;
    size_t i, ink = 0;
    FILE* probe;

    snprintf(page, sizeof page, "%s/corpus/emf/libemf2svg/test-001.emf", shared);
    snprintf(reference, sizeof reference, "%s/corpus/reference96/emf/libemf2svg/test-001.png", shared);
    probe = fopen(page, "rb");
    if (probe == NULL) {
        printf("corpus absent: the corpus page is skipped\n");
        return;
    }
    fclose(probe);
    CHECK(png_size(reference, &ref_width, &ref_height));
    CHECK(scrivlet_emf_open_file(page, &emf) == SCRIVLET_EMF_OK);
    if (emf == NULL)
        return;
    CHECK(scrivlet_emf_pixel_size(emf, 96, &width, &height) == SCRIVLET_EMF_OK);
    CHECK(width == ref_width && height == ref_height);
    rgba = (unsigned char*)malloc((size_t)width * height * 4);
    if (rgba != NULL) {
        CHECK(scrivlet_emf_render(emf, 96, 0, height, rgba, (size_t)width * 4, (size_t)width * height * 4) ==
              SCRIVLET_EMF_OK);
        for (i = 0; i < (size_t)width * height; ++i) {
            CHECK(rgba[i * 4 + 3] == 255);
            if (rgba[i * 4] != 255 || rgba[i * 4 + 1] != 255 || rgba[i * 4 + 2] != 255)
                ++ink;
        }
        CHECK(ink > 100);
    }
    free(rgba);
    scrivlet_emf_close(emf);
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: %s SAMPLE_PAGE SHARED_DIR\n", argv[0]);
        return 2;
    }
    sample_page(argv[1]);
    hostile(argv[1]);
    corpus_page(argv[2]);
    if (failures != 0) {
        fprintf(stderr, "%d checks failed\n", failures);
        return 1;
    }
    printf("all checks passed\n");
    return 0;
}
